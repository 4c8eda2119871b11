#include "Cuit.h"

QString Cuit::check(const QString& text, QString* why)
{
    auto refuse = [&](const QString& reason) {
        if (why) *why = QStringLiteral("El CUIT «%1» no es válido: %2").arg(text.trimmed(), reason);
        return QString();
    };
    QString d;
    for (QChar c : text) {
        if (c.isDigit() && c.unicode() < 0x80)
            d += c;
        else if (c != u'-' && c != u' ' && c != u'.')
            return refuse(
                QStringLiteral("lleva «%1», y un CUIT tiene solo cifras (y guiones).").arg(c));
    }
    if (d.size() != 11)
        return refuse(QStringLiteral("tiene %1 cifras y un CUIT tiene 11.").arg(d.size()));
    static const int peso[10] = {5, 4, 3, 2, 7, 6, 5, 4, 3, 2};
    int suma = 0;
    for (int i = 0; i < 10; ++i)
        suma += (d.at(i).unicode() - u'0') * peso[i];
    int verificador = 11 - suma % 11;
    if (verificador == 11) verificador = 0;
    if (verificador == 10)
        return refuse(QStringLiteral("sus diez primeras cifras no admiten dígito verificador."));
    if (d.at(10).unicode() - u'0' != verificador)
        return refuse(QStringLiteral("el dígito verificador es %1 y debería ser %2.")
                          .arg(d.at(10))
                          .arg(verificador));
    return d;
}

QString Cuit::format(const QString& digits)
{
    if (digits.size() != 11) return digits;
    return digits.left(2) + u'-' + digits.mid(2, 8) + u'-' + digits.right(1);
}
