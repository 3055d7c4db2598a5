#pragma once
// The peer of the program's adding of pictures: each file decoded by Qt's
// reader straight to the size the program makes of it (the longer side
// brought to the picture-size setting, 1200 px by default; for a 12 MP JPEG
// the decoder then works at half scale, as the program's decoder does, and
// Qt's smooth scaling takes it the rest of the way), turned as its EXIF tag
// says, and a strip-sized thumbnail made of it; on as many threads as the
// process may use cores, each at the nice level of the program's adding
// workers.
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

// The program's adding workers run at this nice level.
constexpr int kProgramWorkerNice = 15;
// The default picture-size setting's longer side.
constexpr int kProgramPictureSide = 1200;
// About the image area of a strip cell.
constexpr int kProgramThumbnailSide = 128;

// The picture the program keeps of a source of that size: the longer side
// brought down to maxSide with the proportions kept, never enlarged.
inline QSize ProgramPictureSize(QSize source, int maxSide)
{
    const int w = source.width(), h = source.height();
    if (w <= 0 || h <= 0 || maxSide <= 0 || (maxSide > w && maxSide > h))
        return source;
    if (w > h)
        return {maxSide, std::max(1, int(h * (double(maxSide) / w) + 0.5))};
    return {std::max(1, int(w * (double(maxSide) / h) + 0.5)), maxSide};
}

// The processors this process may run on (taskset and the like).
inline int AllowedCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return int(std::max(1u, std::thread::hardware_concurrency()));
    return std::max(1, CPU_COUNT(&set));
}

// One file as the program adds it: the picture and its thumbnail; null
// images when it does not decode.
inline void DecodeAtProgramScale(const std::string& file, int maxSide, QImage& picture, QImage& thumbnail)
{
    QImageReader reader(QString::fromStdString(file));
    reader.setAutoTransform(true);
    // The scaled size applies to the image as stored, before its turn.
    const QSize stored = reader.size();
    if (stored.isValid())
        reader.setScaledSize(ProgramPictureSize(stored, maxSide));
    picture = reader.read();
    thumbnail = picture.isNull() ? QImage()
                                 : picture.scaled(kProgramThumbnailSide, kProgramThumbnailSide, Qt::KeepAspectRatio,
                                                  Qt::SmoothTransformation);
}

// Every file as above, on AllowedCores() threads at the workers' nice
// level; `done` runs on the decoding thread. Returns how many decoded.
inline int DecodeAllAtProgramScale(const std::vector<std::string>& files, int maxSide,
                                   const std::function<void(size_t, QImage&, QImage&)>& done = {})
{
    std::atomic<size_t> next{0};
    std::atomic<int> decoded{0};
    std::vector<std::thread> workers;
    const int threads = std::clamp(AllowedCores(), 1, std::max(1, int(files.size())));
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kProgramWorkerNice);
            for (size_t i = next++; i < files.size(); i = next++) {
                QImage picture, thumbnail;
                DecodeAtProgramScale(files[i], maxSide, picture, thumbnail);
                if (!picture.isNull())
                    ++decoded;
                if (done)
                    done(i, picture, thumbnail);
            }
        });
    for (auto& w : workers)
        w.join();
    return decoded;
}
