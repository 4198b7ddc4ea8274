#include "mount/reply_cutter.h"

ReplyCut cutReply(QByteArray& buffer, ReplyKind& expected, const QByteArray& arrived) {
    ReplyCut cut;
    if (buffer.size() + qint64(arrived.size()) > maxReceiveBuffer) {
        buffer.clear();
        cut.outcome = ReplyCut::Overflow;
        return cut;
    }
    buffer.append(arrived);
    if (buffer.isEmpty() || expected == ReplyKind::None)
        return cut;
    const int hash = buffer.indexOf('#');
    if (hash < 0)
        return cut;
    cut.reply = buffer.left(hash);
    buffer.remove(0, hash + 1);
    expected = ReplyKind::None;
    cut.outcome = ReplyCut::Reply;
    return cut;
}
