// Tessivor Studio: write, build, run, step and watch a program in one window.

#include "studio/studio_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessivor Studio"));
    QApplication::setOrganizationName(QStringLiteral("Tessivor"));
    QApplication::setApplicationVersion(QStringLiteral(TESSIVOR_VERSION));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tessivor")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Write, build, run and step through Tessivor programs."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A source file (.tsasm) to open."),
                                 QStringLiteral("[file]"));
    parser.process(app);

    tessivor::studio::StudioWindow window;
    window.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) window.openFile(files.constFirst());
    return app.exec();
}
