#include "app/AddArtworksThread.h"

#include "app/UnreadablePictures.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/MessageBox.h"
#include "platform/rtl/ControlGroup.h"
#include "zip/TZAWorkerPool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The strip's loader runs at 10.
const int kWorkerNice = 15;

} // namespace

AddArtworksThread::AddArtworksThread(Portfolio* portfolio, std::vector<std::string> files,
                                     const StripThumbnail& thumbnail, Deliver deliver)
    : ProgressThread("Adding Artworks...", false), portfolio_(portfolio), files_(std::move(files)),
      thumbnail_(thumbnail), deliver_(std::move(deliver)), wasModified_(portfolio->IsModified())
{
}

AddArtworksThread::~AddArtworksThread()
{
    Terminate();
    if (Started())
        WaitFor();
}

DecodedArtwork AddArtworksThread::Read(const std::string& path) const
{
    DecodedArtwork result;
    // Only a regular file is opened: reading a FIFO or a device would wait
    // for ever, and a folder is no picture.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return result;
    auto picture = std::make_unique<Picture>(portfolio_);
    picture->SetTitle("New Artwork");
    if (!picture->LoadFromFile(path) || !picture->GetBitmap())
        return result;
    result.thumbnail = thumbnail_.Make(*picture->GetBitmap());
    result.picture = std::move(picture);
    return result;
}

void AddArtworksThread::Execute()
{
    const int count = static_cast<int>(files_.size());
    ShowProgressForm();
    SetStatus("Adding Artworks...");
    SetProgress(0, count);

    std::vector<DecodedArtwork> results(files_.size());
    std::vector<bool> done(files_.size(), false);
    std::mutex mutex;
    std::condition_variable ready;
    bool added = false;
    {
        // Declared after what its tasks use: it joins them first.
        const int threads = std::clamp(UsableProcessors(), 1, std::max(count, 1));
        TZAWorkerPool pool(threads);
        for (int i = 0; i < count; ++i)
            pool.Submit([this, i, &results, &done, &mutex, &ready] {
                // Background work, below the strip loader's priority: the
                // main thread, and that loader when the main thread waits
                // for it, must not queue behind a core's worth of decoding.
                ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
                DecodedArtwork result;
                if (!Terminated()) {
                    try {
                        result = Read(files_[i]);
                    } catch (...) {
                        // Out of memory for this one: it is reported with the unreadable.
                        result = DecodedArtwork{};
                    }
                }
                std::lock_guard lock(mutex);
                results[i] = std::move(result);
                done[i] = true;
                ready.notify_all();
            });

        int next = 0;
        while (next < count && !Terminated()) {
            std::vector<DecodedArtwork> batch;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return done[next]; });
                for (; next < count && done[next]; ++next) {
                    if (results[next].picture)
                        batch.push_back(std::move(results[next]));
                    else
                        unreadable_.push_back(files_[next]);
                }
            }
            if (!batch.empty()) {
                Synchronize([this, &batch] {
                    if (!Terminated())
                        deliver_(batch);
                });
                added = true;
            }
            SetProgress(next, count);
        }
        // Leaving joins the workers: on a stop, the files not yet begun
        // are skipped and those under way end first.
    }
    HideProgressForm();
    if (Terminated())
        return;
    // The pictures made for files that failed gave the portfolio new IDs,
    // which counts as a change; nothing was added, so nothing changed.
    if (!added && !wasModified_)
        Synchronize([this] { portfolio_->ClearModified(); });
    if (!unreadable_.empty())
        SyncMessageBox(UnreadablePicturesText(unreadable_), "Ooops!", MB_OK | MB_ICONERROR);
}
