// Conversion of a large photo (3000 × 3000 JPEG) into the 500 × 500 cover.

#include "media/artwork.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

QByteArray largeJpeg()
{
    QImage image(3000, 3000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 3000, 3000);
    gradient.setColorAt(0, QColor(250, 200, 30));
    gradient.setColorAt(1, QColor(20, 40, 160));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.write(image);
    return out;
}

void BM_BaselineJpeg3000(benchmark::State &state)
{
    const QByteArray input = largeJpeg();
    for (auto _ : state) {
        QByteArray cover = Artwork::baselineJPEG(input);
        benchmark::DoNotOptimize(cover);
    }
}
BENCHMARK(BM_BaselineJpeg3000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
