// Whatever a peer sends, once read, must write out and read back to the same text and pictures:
// a reply or a forwarded message must not lose or garble what was received.

#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

int pictureCount(const QTextDocument &document)
{
    int count = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                count += it.fragment().length();
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_rtf_rewrite";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument received;
    RtfReader::load(received, QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray written = RtfWriter::write(received);

    QTextDocument again;
    RtfReader::load(again, written);
    if (RtfWriter::plainText(again) != RtfWriter::plainText(received) || pictureCount(again) != pictureCount(received))
        std::abort();
    return 0;
}
