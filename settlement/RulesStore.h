#pragma once

#include "SettlementRules.h"

class DataService;

// The plant's settlement rules as the database holds them (ta_liquidacion,
// ta_merma_tabla, ta_grado). Read in three small statements; the version is
// read alone (one row) to tell whether the rules changed since.
class RulesStore
{
public:
    explicit RulesStore(DataService& data) : m_data(data) {}

    // True when the database has the settlement tables.
    bool available();
    // The rules now. Raises ServiceError.
    SettlementRules read();
    // The rules' version now (0 without the tables). Raises ServiceError.
    qint64 version();

private:
    DataService& m_data;
};
