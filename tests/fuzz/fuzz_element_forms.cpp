// Arbitrary bytes as a file of element sets in any form: the form's detection, each of the four
// orbit mean-elements readers (JSON, CSV, XML, KVN) whatever the detection says, the TLE text's
// reading into mean elements, the update's check of any form, the TLE writer on every record
// read, and the initialisation and one propagation of the first few.

#include "catalogue/catalogue_entry.h"
#include "catalogue/element_set_merge.h"
#include "catalogue/omm_reader.h"
#include "orbit/element_lines.h"
#include "tests/fuzz/fuzz_input.h"

#include <QByteArray>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// A set written as a TLE reads back into values that write the very same lines.
void checkWriter(const MeanElements& elements) {
    if (!meanElementsInRange(elements))
        fuzz::fail("a record out of range was kept");
    const std::optional<ElementLines> lines = writeElementLines(elements);
    if (!lines) {
        if (elements.noradCatId <= kMaxCatalogueNumber && std::fabs(elements.meanMotionDot) < 0.9 &&
            elements.eccentricity < 0.9999999 && std::fabs(elements.bstar) < 1e8 &&
            std::fabs(elements.meanMotionDdot) < 1e8 && elements.meanMotion < 99.0)
            fuzz::fail("a set that fits a TLE was not written");
        return;
    }
    if (!strictElementLine(lines->line1, '1') || !strictElementLine(lines->line2, '2'))
        fuzz::fail("written lines are not strict element lines");
    const std::optional<MeanElements> again =
        readElementLines(lines->line1, lines->line2, elements.objectName);
    if (!again)
        fuzz::fail("written lines do not read back");
    const std::optional<ElementLines> twice = writeElementLines(*again);
    if (!twice || twice->line1 != lines->line1 || twice->line2 != lines->line2) {
        fuzz::fail("lines read back write differently");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    if (!elementSetFormName(elementSetForm(text)))
        fuzz::fail("a form detected without a name");
    for (const ElementSetForm form :
         {ElementSetForm::Tle, ElementSetForm::Json, ElementSetForm::Csv, ElementSetForm::Xml,
          ElementSetForm::Kvn}) {
        const MeanElementsRead read = readAnyMeanElements(text, form);
        std::size_t initialised = 0;
        for (const MeanElements& elements : read.sets) {
            checkWriter(elements);
            if (initialised++ < 4) {
                CatalogueEntry entry;
                fillCatalogueEntry(entry, elements);
                if (std::strlen(entry.displayName) > 36)
                    fuzz::fail("display name too long");
                propagateSatellite(entry, entry.elements.jdsatepoch + 0.5);
            }
        }
    }
    const CheckedText checked = checkElementSetsAnyForm(text);
    for (const CheckedElementSet& set : checked.sets)
        if (!strictElementLine(set.line1, '1') || !strictElementLine(set.line2, '2') ||
            set.nameLine.size() > 100 || set.nameLine.find_first_not_of(" \t") == std::string::npos)
            fuzz::fail("the update's check passed a set it must not");
    return 0;
}
