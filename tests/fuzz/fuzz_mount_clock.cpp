// Arbitrary bytes as the mount's clock replies, ":GC#", ":GL#", ":GG#" and ":GC#" again, '#'
// between them, then 8 bytes of true UTC: the readers, the mount's UTC made of them, its error
// against true UTC and that error moving the epoch of an upload. Every reading is in range or
// refused, written again it reads the same, and the error is finite and bounded by the dates
// the mount can give; an epoch moved by it moves back.

#include "clocks/mount_clock_check.h"
#include "mount/protocol.h"
#include "orbit/element_lines.h"
#include "tests/fuzz/fuzz_input.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace MountProtocol;

// 2000-01-01 and 2100-01-01 in Unix seconds: the dates ":GC#" can give.
constexpr double kFirstDay = 946684800.0;
constexpr double kLastDay = 4102444800.0;
constexpr double kHalfDay = 14.0 * 3600.0 + 86400.0; // offset and time of day at most

// A set as the catalogue holds it (tests/data/catalogue/active-2026-03.txt, 00900).
const char* const kLine1 = "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991";
const char* const kLine2 = "2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057";

void checkError(double error) {
    if (!std::isfinite(error))
        fuzz::fail("a clock error that is not finite");
    QString::number(std::fabs(error), 'f', 2);
    const std::optional<ElementLines> moved = shiftElementEpoch(kLine1, kLine2, error);
    if (!moved) {
        if (std::fabs(error) <= 1e6)
            fuzz::fail("an epoch not moved by a few days");
        return;
    }
    const std::optional<ElementLines> back = shiftElementEpoch(moved->line1, moved->line2, -error);
    if (!back || back->line1 != kLine1 || moved->line2 != kLine2)
        fuzz::fail("an epoch moved does not move back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double trueUtc = 1773900000.0; // March 2026
    if (size >= 8) {
        std::memcpy(&trueUtc, data + size - 8, 8);
        size -= 8;
    }
    const QList<QByteArray> replies =
        QByteArray(reinterpret_cast<const char*>(data), int(size)).split('#');
    const std::optional<QDate> date = readDate(replies.value(0));
    const std::optional<double> time = readLocalTime(replies.value(1));
    const std::optional<double> offset = readUtcOffset(replies.value(2));
    const std::optional<QDate> dateAfter = readDate(replies.value(3));

    if ((date &&
         (date->year() < 2000 || date->year() > 2099 || readDate(dateReply(*date)) != date)) ||
        (dateAfter && readDate(dateReply(*dateAfter)) != dateAfter))
        fuzz::fail("a date out of range, or not read again");
    // Written to the centisecond, as the stand-in writes it.
    const qint64 centiseconds = time ? std::min<qint64>(std::llround(*time * 100), 8639999) : 0;
    const std::optional<double> timeAgain = readLocalTime(localTimeReply(centiseconds));
    if (time && (!(*time >= 0.0 && *time < 86400.0) || !timeAgain ||
                 std::fabs(*timeAgain - centiseconds / 100.0) > 1e-6))
        fuzz::fail("a local time out of range, or not read again");
    if (offset && (!(std::fabs(*offset) <= 14.0) ||
                   std::fabs(readUtcOffset(utcOffsetReply(*offset * 3600.0)).value_or(99.0) -
                             *offset) > 0.1 / 3600))
        fuzz::fail("a UTC offset out of range, or not read again");
    if (!date || !time || !offset)
        return 0;

    const double mountUtc = MountClockCheck::mountUtc(*date, *time, *offset);
    if (!(mountUtc >= kFirstDay - kHalfDay && mountUtc <= kLastDay + kHalfDay))
        fuzz::fail("the mount's UTC outside the dates it can give");
    // True UTC is this computer's clock corrected by a time server: finite, if anything.
    if (std::isfinite(trueUtc) && std::fabs(trueUtc) < 1e12)
        checkError(mountUtc - trueUtc);
    return 0;
}
