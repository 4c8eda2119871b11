#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class DataService;

// The weighings of the truckloads (mv_molvera_pesada): each gross or tare
// taken from the scale, with its kilograms, time, workstation, operator,
// instrument and the line the scale sent. Rows are only added: the database
// refuses to change or delete one. Raises ServiceError; shows nothing.
class WeighingStore
{
public:
    static constexpr const char* kBruto = "BRUTO";
    static constexpr const char* kTara = "TARA";

    struct Pesada {
        qint64 registro = 0;
        QString tipo; // kBruto or kTara
        double kilos = 0;
        QDateTime fecha;
        QString estacion;
        QString instrumento;
        QString linea;
        QString usuario;
    };

    explicit WeighingStore(DataService& data) : m_data(data) {}

    // True when the database has the weighings table (schema 4 on).
    bool disponible();
    void registrar(const Pesada& p);
    // The latest weighing of that kind of the row, if any.
    std::optional<Pesada> ultima(qint64 registro, const QString& tipo);
    // Runs the step in one transaction holding the write lock: kept when it
    // answers true, undone when it answers false or throws.
    bool enTransaccion(const std::function<bool()>& paso);

    // The net tonnes of a gross and a tare in kilograms, as a typed value
    // with a period ("17.12"); finer than the gram stays in the text.
    static QString toneladas(double brutoKg, double taraKg);

private:
    void sentencia(const QString& sql);

    DataService& m_data;
    std::optional<bool> m_disponible;
};
