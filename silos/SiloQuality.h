#pragma once

#include <QHash>
#include <QString>
#include <optional>

class DataService;

// The average quality of what one silo received, weighted by tonnes: humidity
// (%), hectolitre weight (kg/hl) and falling number (s). A figure is empty
// when no load with tonnes brought that reading into the silo.
struct SiloQualityFigures {
    std::optional<double> humedad;
    std::optional<double> pesohect;
    std::optional<double> falling;
    bool isEmpty() const { return !humedad && !pesohect && !falling; }
};

// Reads the silos' quality from the sums the database keeps with every change
// of an intake row (mv_molvera_silo_calidad): one small query whatever the
// number of intake rows. A database made before the sums were kept is read
// with one grouped query over the intake view instead (same figures, slower).
class SiloQuality
{
public:
    explicit SiloQuality(DataService& data) : m_data(data) {}

    // By stored silo number ("0003"). Raises ServiceError.
    QHash<QString, SiloQualityFigures> read();
    bool usingKeptSums() const { return m_kept; }

    // " · Humedad 13,25 % · Peso hect. 77,50 kg/hl · Falling number 320 s", for
    // the detailed label; empty when the silo has no readings.
    static QString detailedSuffix(const SiloQualityFigures& q);
    // The lines added to the summary tooltip ("\nHumedad media: 13,25 %" ...).
    static QString toolTipLines(const SiloQualityFigures& q);

private:
    QHash<QString, SiloQualityFigures> readSums();

    DataService& m_data;
    bool m_kept = true;
};
