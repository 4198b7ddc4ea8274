#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

// The compiled translations sit in a static library; naming their initialiser keeps the linker
// from dropping them.
static void registerTranslations() {
    Q_INIT_RESOURCE(translations);
}

namespace {

QString qtTranslationsFolder() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace

bool installTranslations(const QLocale& locale, QObject* owner) {
    registerTranslations();
    auto* program = new QTranslator(owner);
    if (!program->load(locale, QStringLiteral("orbitrak"), QStringLiteral("_"),
                       QStringLiteral(":/i18n"))) {
        delete program;
        return false;
    }
    QCoreApplication::installTranslator(program);
    // Qt's texts in the language the program's translation was chosen for, even when the
    // locale lists several languages.
    auto* qt = new QTranslator(owner);
    if (qt->load(QLocale(program->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                 qtTranslationsFolder()))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return true;
}
