// Qt's QProcess as a peer of the waiting Eject: the same tool and argv started with
// QProcess::start and waited for with waitForFinished, with the output pipes it makes by default.
// Built only where Qt 6 is installed; the rounds in ProcessBenchmarks.cpp run it when it is.
#include "BenchData.hpp"

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace QueltBench {

namespace {

// QProcess expects an application object: one for the whole program, made on first use.
void EnsureApplication() {
    static int Count = 1;
    static char Name[] = "quelt_bench";
    static char* Arguments[] = {Name, nullptr};
    static const QCoreApplication Application(Count, Arguments);
}

// The program and its arguments are converted once, as an application keeps them.
PeerRun MakeQProcessRun(const std::vector<std::string>& Argv) {
    EnsureApplication();
    auto Program = std::make_shared<QString>(QString::fromStdString(Argv.front()));
    auto Arguments = std::make_shared<QStringList>();
    for (std::size_t Index = 1; Index < Argv.size(); ++Index) {
        Arguments->append(QString::fromStdString(Argv[Index]));
    }
    return [Program, Arguments] {
        QProcess Process;
        Process.start(*Program, *Arguments);
        return Process.waitForFinished(-1) && Process.exitStatus() == QProcess::NormalExit &&
               Process.exitCode() == 0;
    };
}

[[maybe_unused]] const bool Registered = (QProcessPeer() = MakeQProcessRun, true);

} // namespace

} // namespace QueltBench
