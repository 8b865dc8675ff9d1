#include "shell/character/AcsReader.h"
#include "shell/character/AcsWriter.h"

#include <QFile>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

// Loading characters as the assistant does when it starts or the user picks one: Parlune's own small
// character, a large one of about 2 MB built with the writer, and the largest genuine one when the shared
// test data lies beside the source tree. Composing a frame is what the player does for every frame shown.
namespace {

const QString SourceDir = QStringLiteral(PARLUNE_SOURCE_DIR);
const QString HelperPath = SourceDir + QStringLiteral("/resources/character/Helper.acs");
const QString GenuinePath = SourceDir + QStringLiteral("/../shared/testdata/acs/NerdBird.acs");

// 184 images of 140 x 120 with shading and noise, so that they compress about as badly as a scanned
// drawing; 40 animations of eight frames over them.
const QByteArray &largeCharacter()
{
    constexpr int Images = 184;
    static const QByteArray file = [] {
        Character c;
        c.width = 140;
        c.height = 120;
        c.transparentIndex = 255;
        for (int i = 0; i < 256; ++i)
            c.palette.append(qRgb(i, 255 - i, (i * 7) % 256));
        QRandomGenerator random(1);
        for (int n = 0; n < Images; ++n) {
            CharacterImage image;
            image.width = c.width;
            image.height = c.height;
            image.pixels.resize(qsizetype(image.width) * image.height);
            for (int y = 0; y < image.height; ++y) {
                for (int x = 0; x < image.width; ++x) {
                    const bool outside = (x - 70) * (x - 70) + (y - 60) * (y - 60) > 55 * 55;
                    image.pixels[y * image.width + x] =
                        char(outside ? 255 : (x + y + n) / 3 % 200 + random.bounded(24));
                }
            }
            c.images.append(image);
        }
        for (int a = 0; a < 40; ++a) {
            CharacterAnimation animation;
            animation.name = QStringLiteral("Animation%1").arg(a);
            for (int f = 0; f < 8; ++f) {
                CharacterFrame frame;
                frame.images = {{(a * 4 + f) % Images, 0, 0}};
                animation.frames.append(frame);
            }
            c.animations.append(animation);
        }
        return AcsWriter::write(c);
    }();
    return file;
}

void loadFile(benchmark::State &state, const QString &path)
{
    if (!QFile::exists(path)) {
        state.SkipWithError("file not found");
        return;
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        const std::optional<Character> character = AcsReader::readFile(path);
        if (!character) {
            state.SkipWithError("does not load");
            return;
        }
        bytes = QFile(path).size();
        benchmark::DoNotOptimize(character->images.size());
    }
    state.counters["file_KB"] = double(bytes) / 1024;
}

void BM_LoadHelper(benchmark::State &state)
{
    loadFile(state, HelperPath);
}
BENCHMARK(BM_LoadHelper)->Unit(benchmark::kMillisecond);

void BM_LoadLarge(benchmark::State &state)
{
    const QByteArray &file = largeCharacter();
    for (auto _ : state) {
        const std::optional<Character> character = AcsReader::read(file);
        benchmark::DoNotOptimize(character->images.size());
    }
    state.counters["file_KB"] = double(file.size()) / 1024;
}
BENCHMARK(BM_LoadLarge)->Unit(benchmark::kMillisecond);

void BM_LoadGenuineLargest(benchmark::State &state)
{
    loadFile(state, GenuinePath);
}
BENCHMARK(BM_LoadGenuineLargest)->Unit(benchmark::kMillisecond);

void BM_ComposeFrame(benchmark::State &state)
{
    const std::optional<Character> helper = AcsReader::readFile(HelperPath);
    if (!helper) {
        state.SkipWithError("Helper.acs does not load");
        return;
    }
    const CharacterFrame &frame = helper->animation(u"Greet")->frames.at(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(helper->composeFrame(frame, MouthOverlay::Wide2));
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMicrosecond);

void BM_WriteLarge(benchmark::State &state)
{
    const std::optional<Character> large = AcsReader::read(largeCharacter());
    for (auto _ : state)
        benchmark::DoNotOptimize(AcsWriter::write(*large));
}
BENCHMARK(BM_WriteLarge)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
