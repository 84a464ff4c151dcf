// SPDX-License-Identifier: GPL-3.0-or-later
// The program: the main window, then the save-path and About dialogs, then the event loop.
// Returns 1 when the start-up found its configuration missing (after telling the user),
// 0 otherwise.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTextStream>
#include <optional>

#include "app/about_dialog.h"
#include "app/device_session.h"
#include "app/directory_dialog.h"
#include "app/main_window.h"
#include "app/qt_dialog_provider.h"
#include "app/startup_folder.h"
#include "app/termination_signals.h"
#include "base/thread_sanitizer_defaults.h"
#include "view/calibration_book.h"

namespace {

constexpr int kStartupFailed = 1;

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

constexpr int kUsageError = 2;
constexpr char kProgramName[] = "digital-microscope";
constexpr char kMeasureOption[] = "measure";

void DescribeCommandLine(QCommandLineParser& parser) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(DM_VERSION));
    parser.setApplicationDescription(QStringLiteral(
        "Desktop companion for a handheld digital microscope on a serial port.\n"
        "Data folder: the working folder when it holds System.ini, else\n"
        "$XDG_DATA_HOME/digital-microscope (filled from the installed data on first start).\n"
        "Ports searched: $MICROSCOPE_PORTS, running virtual microscopes, then the\n"
        "machine's serial devices (ttyUSB, ttyACM, ttyS)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kMeasureOption),
        QStringLiteral("Opens the measuring window on a JPEG, PNG or BMP picture."),
        QStringLiteral("file")));
}

QString HelpText(const QCommandLineParser& parser) {
    // Without an application object the usage line cannot know the program's name.
    return parser.helpText().replace(QStringLiteral("<executable_name>"),
                                     QString::fromLatin1(kProgramName));
}

// Answers --help and --version before any window system is needed, so they work on a
// plain terminal. Returns the exit status when the program should end there.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help") ||
            argument == QLatin1String("--help-all")) {
            QCommandLineParser parser;
            DescribeCommandLine(parser);
            QTextStream(stdout) << HelpText(parser);
            return 0;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            QTextStream(stdout) << kProgramName << " " << DM_VERSION << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

// What is left once Qt took its own options (-platform, -style, ...): only ours.
std::optional<int> RefuseUnknownArguments(QCommandLineParser& parser, const QApplication& app) {
    DescribeCommandLine(parser);
    if (parser.parse(app.arguments()) && parser.positionalArguments().isEmpty()) {
        return std::nullopt;
    }
    QTextStream(stderr) << (parser.errorText().isEmpty() ? QStringLiteral("Unexpected arguments.")
                                                         : parser.errorText())
                        << "\n"
                        << HelpText(parser);
    return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = AnswerHelpOrVersion(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QCommandLineParser arguments;
    if (const auto status = RefuseUnknownArguments(arguments, app)) {
        return *status;
    }
    dm::QtDialogProvider dialogs;
    const QDir launchFolder = QDir::current();
    // The start-up folder becomes the working folder: the window reads its files from there
    // from the moment it is built.
    QDir::setCurrent(dm::ChooseStartupFolder(dm::StartupFolderPlacesOfThisRun()));
    // Every picture the program measures or writes is scaled by the user's calibrations.
    dm::CalibrationBook::Shared().Open(dm::UserCalibrationFile());
    dm::TForm1 form(dialogs);
    dm::DeviceSession session(form);
    // SIGTERM, SIGINT and SIGHUP end the program as the Exit button does. Installed before
    // the start-up creates anything to clean up; a signal during it is answered once the
    // event loop runs.
    const dm::TerminationSignals endingSignals(&form, [&form] { form.EndProgram(); });
    if (!form.FormCreate()) {
        return kStartupFailed;
    }
    session.Attach();
    // Created as the program starts and kept, never shown: the About box that Help, About
    // shows is built afresh on every opening.
    dm::TDirectoryDlg directoryDlg;
    dm::TAboutDlg aboutDlg(form.Parameters().companyTitle, form.Parameters().versionInfo,
                           form.StartupFolder());
    form.adjustSize();
    CentreOnScreen(form);
    form.show();
    // A picture named on the command line is measured once the window stands, relative to
    // the folder the program was started in, not the data folder it then works in.
    if (arguments.isSet(QString::fromLatin1(kMeasureOption))) {
        form.MeasureFile(
            QFileInfo(launchFolder, arguments.value(QString::fromLatin1(kMeasureOption)))
                .absoluteFilePath());
    }
    return app.exec();
}
