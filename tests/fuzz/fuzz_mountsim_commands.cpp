// Arbitrary bytes from a client of the stand-in, arriving in arbitrary pieces (see
// fuzz_input.h): the command splitter, then the simulated mount's answer to every command, at
// instants that advance from a few starting dates. The first run follows the passes that the
// client's requests find, so that slews, waits and tracking are reached.
//
// Bit 6 of the input's first byte has the target put the right check digits into the element
// lines of every upload before it is answered: a mutated field then still reaches the
// stand-in's field checks, the orbit model and the pass search, instead of failing the sum.

#include "mount/protocol.h"
#include "orbit/element_lines.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/mountsim/command_splitter.h"
#include "tools/mountsim/simulated_mount.h"

#include <QList>

namespace {

struct Run {
    double startJd;        // working Julian date of the first command
    double secondsPerStep; // how far each command is after the one before
    bool followPassDates;  // a pass found moves the clock to its start
};

constexpr Run kRuns[] = {
    {2461118.5, 7.0, true},   // March 2026, the clock moved to each pass found
    {2451545.0, 61.0, false}, // 2000
    {2488069.0, 3600.0, false},
};

constexpr double kSecondsPerDay = 86400.0;

QByteArray withCheckDigits(const QByteArray& command) {
    const QByteArray upload = MountProtocol::kUploadPrefix;
    if (!command.startsWith(upload))
        return command;
    const std::optional<QByteArray> text = MountProtocol::unescapeUploadText(
        command.mid(upload.size(), command.size() - upload.size() - 1));
    if (!text)
        return command;
    QList<QByteArray> lines = text->split('\n');
    for (QByteArray& line : lines) {
        if (line.size() >= 69 && (line[0] == '1' || line[0] == '2'))
            line[68] = char('0' + elementLineCheckDigit(line.left(68).toStdString()));
    }
    return upload +
           MountProtocol::escapeUploadText(QString::fromLatin1(lines.join('\n'))).toLatin1() + '#';
}

// After a pass reply "start,end,peak" the clock moves to just before the pass begins, so that
// the slew, the wait and the tracking that follow are all reached.
double afterPassReply(const QByteArray& command, const std::optional<QByteArray>& reply,
                      double now) {
    if (!command.startsWith(MountProtocol::kPassPrefix) || !reply)
        return now;
    bool ok = false;
    const double start = reply->split(',').value(0).toDouble(&ok);
    return ok ? start - 3.0 / kSecondsPerDay : now;
}

// Every command of the stream, answered at instants that advance as the run says.
void answerStream(SimulatedMount& mount, const std::vector<fuzz::Piece>& pieces, bool repairSums,
                  const Run& run) {
    CommandSplitter splitter;
    double now = run.startJd;
    for (const fuzz::Piece& piece : pieces) {
        const QByteArray bytes(reinterpret_cast<const char*>(piece.data()), int(piece.size()));
        for (QByteArray command : splitter.feed(bytes)) {
            if (command.size() < 2 || !command.startsWith(':') || !command.endsWith('#') ||
                command.count('#') != 1 || command.size() > CommandSplitter::maxCommandLength)
                fuzz::fail("splitter produced a malformed command");
            if (repairSums)
                command = withCheckDigits(command);
            // The client relies on replies that end in '#' and hold no other.
            const std::optional<QByteArray> reply = mount.answer(command, now);
            if (reply && (!reply->endsWith('#') || reply->count('#') != 1))
                fuzz::fail("reply without exactly one closing '#'");
            if (run.followPassDates)
                now = afterPassReply(command, reply, now);
            now += run.secondsPerStep / kSecondsPerDay;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<fuzz::Piece> pieces = fuzz::cutIntoArrivals(data, size);
    const bool repairSums = size > 0 && (data[0] & 0x40) != 0;
    for (const Run& run : kRuns) {
        SimulatedMount::Config config;
        config.muted = {QByteArrayLiteral(":Gev#"), QByteArrayLiteral(":TLEP9")};
        SimulatedMount mount(config);
        answerStream(mount, pieces, repairSums, run);
    }
    // An old firmware, without the axis-error command, answers the same stream.
    SimulatedMount::Config old;
    old.firmware = "2.15.1";
    SimulatedMount oldMount(old);
    answerStream(oldMount, pieces, repairSums, {kRuns[0].startJd, 0.0, false});
    return 0;
}
