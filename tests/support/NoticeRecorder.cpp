#include "tests/support/NoticeRecorder.h"

void NoticeRecorder::ShowNotice(const QByteArray &text, const QByteArray &caption)
{
    shown.append({text, caption});
}

QByteArrayList NoticeRecorder::captions() const
{
    QByteArrayList all;
    for (const Notice &notice : shown)
        all.append(notice.caption);
    return all;
}
