#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The terminal simulator as a child process of a test.
//
//   SimProcess sim({"--records", "300", "--terminal", "18"}, SimProcess::WithPty);
//   if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
//   link.Connect_Net(sim.host(), QString::number(sim.port()));   // or the pty at sim.ptyPath()
//   sim.send("present 0079A785");                                 // a control line on its stdin
//   QJsonObject state = sim.dump();                                // {"terminals": [{...}, ...]}
//
// Runs $ZEVO_BIN_DIR/sim/attsim with the given arguments, on a free TCP port of 127.0.0.1 unless
// they give --tcp, and with --pty under a temporary folder when asked. start() waits up to 10 s for
// the ready lines; it returns false with errorText() when the binary is missing, fails or is silent.
// stop() (also run by the destructor) sends SIGTERM and waits, so that --state files get saved.
class SimProcess {
public:
    enum Pty { NoPty, WithPty };

    explicit SimProcess(const QStringList &arguments = {}, Pty pty = NoPty);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool start();
    QString errorText() const { return error_; }

    QString host() const { return host_; }
    quint16 port() const { return port_; }
    QString portText() const { return QString::number(port_); }
    QString ptyPath() const { return ptyPath_; }  // empty without WithPty
    // With --fleet: every terminal's port, in address order.
    QList<quint16> fleetPorts() const { return fleetPorts_; }

    void send(const QString &line);
    // Sends "dump" and reads the one JSON line that answers it; the empty object on failure.
    QJsonObject dump();
    // The state of the terminal at `address` out of dump(); the empty object when there is none.
    QJsonObject terminal(int address);

    void stop();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    int exitCode() const { return process_.exitCode(); }
    QString standardError();  // what the simulator reported on stderr so far

    static QString binaryPath();

private:
    bool readLine(QByteArray &line, int timeoutMs);

    QStringList arguments_;
    Pty pty_;
    QTemporaryDir dir_;
    QProcess process_;
    QString error_, host_, ptyPath_;
    QByteArray stderr_;
    quint16 port_ = 0;
    QList<quint16> fleetPorts_;
};
