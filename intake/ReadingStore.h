#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <optional>

class DataService;

// The grain analyzer's readings taken into the truckloads
// (mv_molvera_lectura): each F11, with the values written (by the sheet's
// field name), the line the analyzer sent, the time, workstation, operator
// and instrument. Rows are only added: the database refuses to change or
// delete one. Raises ServiceError; shows nothing.
class ReadingStore
{
public:
    struct Lectura {
        qint64 registro = 0;
        QDateTime fecha;
        QMap<QString, double> valores; // "humedad" -> 12.8
        QString estacion;
        QString instrumento;
        QString linea;
        QString usuario;
    };

    explicit ReadingStore(DataService& data) : m_data(data) {}

    // True when the database has the readings table (schema 5 on).
    bool disponible();
    void registrar(const Lectura& l);

private:
    DataService& m_data;
    std::optional<bool> m_disponible;
};
