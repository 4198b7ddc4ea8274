// Arbitrary bytes as the settings store (an INI file) holding the observing sites: the sites
// read as the window and orbitrak-cli read them, and the current one. Every site read is valid
// and named once; written back and read again, the same sites return.

#include "catalogue/settings_store.h"
#include "sky/observing_sites.h"
#include "tests/fuzz/fuzz_input.h"

#include <QSettings>

#include <cmath>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The store's file, in a scratch folder that the settings now use, for this process only.
const std::string& storeFile() {
    static const std::string path = [] {
        const std::string folder = fuzz::scratchFolder();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder + "/user"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                           QString::fromStdString(folder + "/system"));
        std::filesystem::create_directories(folder + "/user/" + kSettingsOrganisation);
        return folder + "/user/" + kSettingsOrganisation + "/" + kSettingsApplication + ".conf";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = storeFile();
    fuzz::writeFile(path, data, size);
    // Qt keeps a parsed store while its size and time stay the same: each input gets a time of
    // its own, so that none is taken for the one before.
    static long long inputs = 0;
    const timespec times[2] = {{1000000000 + inputs, 0}, {1000000000 + inputs, 0}};
    ++inputs;
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        fuzz::fail("cannot set the store's time");

    // A huge array size makes the reader walk every index, each one a look-up: a matter for the
    // reader's own cap, not something to fuzz for. Sizes up to 10000 run fast either way.
    const int count = QSettings(QString::fromStdString(path), QSettings::IniFormat)
                          .value(QStringLiteral("observing_sites/size"))
                          .toInt();
    if (count > 10000)
        return 0;

    const std::vector<ObservingSite> sites = readObservingSites();
    if (int(sites.size()) > std::max(count, 0))
        fuzz::fail("more sites than the array holds");
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const Site site = sites[i].site();
        if (!sites[i].isValid() || !std::isfinite(site.latitude) ||
            !std::isfinite(site.westLongitude) || !std::isfinite(site.elevation))
            fuzz::fail("an invalid site read");
        for (std::size_t j = 0; j < i; ++j)
            if (sites[j].name == sites[i].name)
                fuzz::fail("a name read twice");
    }
    const QString currentName = readCurrentSiteName();
    const std::optional<ObservingSite> current = readCurrentObservingSite();
    if (current && (current->name != currentName || !findObservingSite(sites, currentName)))
        fuzz::fail("a current site that is not among the sites");

    // A store with lines Qt cannot read reports a format error for the write too, though the
    // write lands (and leaves those lines out): the sites read again tell.
    writeObservingSites(sites);
    const std::vector<ObservingSite> again = readObservingSites();
    bool same = again.size() == sites.size();
    for (std::size_t i = 0; same && i < sites.size(); ++i)
        same = again[i].name == sites[i].name && again[i].latitudeDeg == sites[i].latitudeDeg &&
               again[i].eastLongitudeDeg == sites[i].eastLongitudeDeg &&
               again[i].elevationM == sites[i].elevationM &&
               again[i].horizonFile == sites[i].horizonFile;
    if (!same)
        fuzz::fail("the sites written back read differently");
    return 0;
}
