#include "app/AddArtworksThread.h"

#include "app/UnreadablePictures.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/MessageBox.h"
#include "platform/rtl/ControlGroup.h"
#include "zip/TZAWorkerPool.h"

#include <algorithm>
#include <chrono>
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
    OfferCancel();
    SetStatus("Adding Artworks...");
    SetProgress(0, count);
    const auto stopping = [this] { return Terminated() || Cancelled(); };

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
            pool.Submit([this, i, &results, &done, &mutex, &ready, &stopping] {
                // Background work, below the strip loader's priority: the
                // main thread, and that loader when the main thread waits
                // for it, must not queue behind a core's worth of decoding.
                ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
                DecodedArtwork result;
                if (!stopping()) {
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
        while (next < count && !stopping()) {
            std::vector<DecodedArtwork> batch;
            {
                std::unique_lock lock(mutex);
                // A cancel must not wait for a picture that takes long.
                while (!done[next] && !stopping())
                    ready.wait_for(lock, std::chrono::milliseconds(50));
                for (; next < count && done[next]; ++next) {
                    if (results[next].picture)
                        batch.push_back(std::move(results[next]));
                    else
                        unreadable_.push_back(files_[next]);
                }
            }
            if (!batch.empty()) {
                Synchronize([this, &batch, &added, &stopping] {
                    if (stopping())
                        return;
                    deliver_(batch);
                    added = true;
                });
            }
            SetProgress(next, count);
        }
        // Cancelled: the window goes now, before the pictures still being
        // read end, and the main window is free again with what came in.
        // Those pictures are dropped; their IDs were taken already, so the
        // portfolio's state can be settled here, before the user changes it.
        if (Cancelled() && !Terminated())
            Synchronize([this, &added] {
                if (!added && !wasModified_)
                    portfolio_->ClearModified();
                HideProgressForm();
            });
        // Leaving joins the workers: on a stop, the files not yet begun
        // are skipped and those under way end first.
    }
    HideProgressForm();
    if (Terminated() || Cancelled())
        return;
    // The pictures made for files that failed gave the portfolio new IDs,
    // which counts as a change; nothing was added, so nothing changed.
    if (!added && !wasModified_)
        Synchronize([this] { portfolio_->ClearModified(); });
    if (!unreadable_.empty())
        SyncMessageBox(UnreadablePicturesText(unreadable_), "Oooops!", MB_OK | MB_ICONERROR);
}
