#pragma once

class QLocale;
class QObject;

// Installs the program's translation for the locale's languages, when one is built in, and
// with it Qt's own translation of its standard dialogs and buttons (from Qt's installed
// translations, when there is one for that language). Under a locale without a translation of
// the program nothing is installed and every text stays English. The translators are children
// of owner, so they are removed when it goes. Returns whether the program's translation was
// installed.
bool installTranslations(const QLocale& locale, QObject* owner);
