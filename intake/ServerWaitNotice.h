#pragma once

#include <QLabel>

class DataService;

// The line the window shows while a statement waits for the server longer
// than a moment ("Esperando la respuesta del servidor de base de datos…").
// It is painted at once, while the statement still waits: the window is not
// left looking frozen. It goes when the wait ends, answered or given up.
class ServerWaitNotice : public QLabel
{
public:
    ServerWaitNotice(DataService& data, QWidget* window);
    ~ServerWaitNotice() override;

private:
    void mostrar(bool esperando);

    DataService& m_data;
};
