#pragma once

#include <QHash>
#include <QWidget>

class QToolButton;

// The window's toolbar: eight buttons with their enabled switches, a bar
// style and the keys that press them. Keys: F2 Nuevo, F3 Borrar, F4 Consultar,
// F6 Reporte, F8 Cancelar, F10 Cerrar.
class UtilVextra : public QWidget
{
    Q_OBJECT
public:
    explicit UtilVextra(QWidget* parent = nullptr);

    // The button keys, in the order of the bar.
    static QStringList keys();

    bool nuevoenabled() const { return isOn("NUEVO"); }
    bool borrarenabled() const { return isOn("BORRAR"); }
    bool grabarenabled() const { return isOn("GRABAR"); }
    bool planillaenabled() const { return isOn("PLANILLA"); }
    bool consultaenabled() const { return isOn("CONSULTAR"); }
    bool reporteenabled() const { return isOn("REPORTE"); }
    bool cerrarenabled() const { return isOn("CERRAR"); }
    bool cancelarenabled() const { return isOn("CANCELAR"); }
    void setNuevoenabled(bool on) { setOn("NUEVO", on); }
    void setBorrarenabled(bool on) { setOn("BORRAR", on); }
    void setGrabarenabled(bool on) { setOn("GRABAR", on); }
    void setPlanillaenabled(bool on) { setOn("PLANILLA", on); }
    void setConsultaenabled(bool on) { setOn("CONSULTAR", on); }
    void setReporteenabled(bool on) { setOn("REPORTE", on); }
    void setCerrarenabled(bool on) { setOn("CERRAR", on); }
    void setCancelarenabled(bool on) { setOn("CANCELAR", on); }

    // 0 flat buttons, 1 raised buttons.
    double StyleBar() const { return m_style; }
    void setStyleBar(double style);

    // Offered every key pressed without modifier; presses the button the key
    // belongs to when that button is enabled. Answers true when it did.
    bool ProcesarTecla(int keyCode);

    QToolButton* button(const QString& key) const { return m_buttons.value(key); }

signals:
    void BotonClick(const QString& key);

private:
    bool isOn(const char* key) const;
    void setOn(const char* key, bool on);

    QHash<QString, QToolButton*> m_buttons;
    double m_style = 1;
};
