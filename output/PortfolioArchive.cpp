#include "output/PortfolioArchive.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>
#include <system_error>
#include <unordered_map>

#include "FreeImage/FreeBitmap.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/BitmapReceiver.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "model/XmlHelpers.h"
#include "platform/rtl/ControlGroup.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"
#include "zip/TZAItemDecoder.h"
#include "zip/TZAWorkerPool.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace PortfolioArchive {

namespace {

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

bool IsBitmap(TMemoryStream& stream)
{
    return stream.GetSize() >= 2 && stream.Memory()[0] == 'B' && stream.Memory()[1] == 'M';
}

// Refuses to grow past its limit: an item whose directory entry claims
// less than it inflates to still cannot fill memory. With a head check, the
// first kHeadBytes written (or all of a shorter item's bytes so far) are
// shown to it once, and it may refuse the item before the rest is inflated.
class BoundedStream : public TMemoryStream {
public:
    static constexpr int64_t kHeadBytes = 2048;
    using HeadCheck = std::function<void(const uint8_t* head, int64_t size)>;

    BoundedStream(std::string name, int64_t limit, HeadCheck checkHead = {})
        : name_(std::move(name)), limit_(limit), checkHead_(std::move(checkHead))
    {
    }
    int64_t Write(const void* buffer, int64_t count) override
    {
        if (count > limit_ - GetPosition())
            throw EPortfolioFileError("The item " + name_ + " is too large");
        const int64_t written = TMemoryStream::Write(buffer, count);
        if (checkHead_ && GetSize() >= std::min(kHeadBytes, limit_)) {
            const HeadCheck check = std::move(checkHead_);
            checkHead_ = nullptr;
            check(Memory(), std::min(kHeadBytes, GetSize()));
        }
        return written;
    }
    void SetSize(int64_t size) override
    {
        if (size > limit_)
            throw EPortfolioFileError("The item " + name_ + " is too large");
        TMemoryStream::SetSize(size);
    }

protected:
    const std::string& Name() const { return name_; }
    int64_t Limit() const { return limit_; }
    // The head check has run (or there was none).
    bool HeadChecked() const { return !checkHead_; }

private:
    std::string name_;
    int64_t limit_;
    HeadCheck checkHead_;
};

// An artwork's bitmap refused from its first bytes: a header that asks for
// more than any picture may have, or for more than the open may hold, ends
// the open before the item is inflated. A head the image library cannot read
// on its own is left to the check of the whole bitmap.
void CheckBitmapHead(const uint8_t* head, int64_t size, const std::string& id, int64_t limit)
{
    if (size < 2 || head[0] != 'B' || head[1] != 'M')
        throw EPortfolioFileError("The artwork " + id + " cannot be read");
    TFreeBitmap::Header header;
    if (!TFreeBitmap::ReadHeader(head, static_cast<DWORD>(size), header))
        return;
    if (!header.WithinLimits())
        throw EPortfolioFileError("The artwork " + id + " cannot be read");
    if (header.DecodedBytes() + kPictureOverhead > limit)
        throw EPortfolioFileError("Opening the portfolio file would need too much memory at the artwork " + id);
}

// An artwork's bitmap as it is read, held to its size in the directory.
// Once its head is checked, a bitmap whose rows the image library takes as
// they stand is built straight into the decoded picture, and a worker
// inflates the rows right where the picture keeps them; any other bitmap
// keeps its bytes here to be decoded whole.
class ArtworkStream : public BoundedStream, public TZADirectTarget {
public:
    ArtworkStream(const std::string& id, int64_t size, int64_t openLimit)
        : BoundedStream(id, size, [id, openLimit](const uint8_t* head, int64_t length) {
              CheckBitmapHead(head, length, id, openLimit);
          })
    {
    }
    int64_t Write(const void* buffer, int64_t count) override
    {
        if (receiver_) {
            if (count < 0 || !receiver_->Write(static_cast<const uint8_t*>(buffer), size_t(count)))
                throw EPortfolioFileError("The item " + Name() + " is too large");
            return count;
        }
        const int64_t written = BoundedStream::Write(buffer, count);
        if (!tried_ && HeadChecked()) {
            tried_ = true;
            receiver_ = BitmapReceiver::Start(Memory(), size_t(GetSize()), uint64_t(Limit()));
            if (receiver_) {
                TMemoryStream::Clear();
                passing_ = {};
            } else {
                Reserve(Limit());
            }
        }
        return written;
    }
    void SetSize(int64_t size) override
    {
        // Emptied for a new start (the archiver does so when it reads the
        // item again under another password).
        if (size == 0) {
            receiver_.reset();
            tried_ = false;
        }
        BoundedStream::SetSize(size);
    }
    std::span<uint8_t> Room(size_t wanted) override
    {
        if (receiver_)
            return receiver_->Room(wanted);
        // The head, and all of a bitmap decoded whole, pass through here;
        // the head alone, so that the rows after it go straight in.
        if (GetSize() < BoundedStream::kHeadBytes)
            wanted = std::min(wanted, size_t(BoundedStream::kHeadBytes - GetSize()));
        if (passing_.size() < wanted)
            passing_.resize(wanted);
        return {passing_.data(), wanted};
    }
    void Commit(size_t length) override
    {
        if (receiver_)
            receiver_->Commit(length);
        else
            Write(passing_.data(), int64_t(length));
    }
    // Built straight into its picture.
    bool Direct() const { return receiver_ != nullptr; }
    // The picture so built; a null image when not all of its bytes came.
    Picture::Decoded TakeDecoded() { return receiver_ ? receiver_->Finish() : Picture::Decoded{}; }
    int64_t ItemSize() const { return Limit(); }

private:
    std::unique_ptr<BitmapReceiver> receiver_;
    bool tried_ = false;
    std::vector<uint8_t> passing_;
};

std::u16string ItemKey(const std::u16string& name)
{
    std::u16string key = name;
    for (char16_t& c : key)
        c = LowerAscii(c);
    return key;
}

// The items of one open archive by name. Names are looked up the way the
// Windows program does, without regard to letter case, but never as a mask:
// an ID of "*" must not pick up whatever item comes first. A name that
// stands more than once gives its first entry, as many ZIP readers do (the
// archiver's own lookup gives the last), and an entry of exactly the name
// asked for goes before one that differs only in case.
class ItemDirectory {
public:
    explicit ItemDirectory(const TZipArchiver& archiver)
    {
        for (int i = 0; i < archiver.ItemCount(); ++i) {
            const std::u16string& name = archiver.Item(i).FileName;
            exact_.try_emplace(name, i);
            folded_.try_emplace(ItemKey(name), i);
        }
    }
    // -1 when the archive has no such item.
    int Find(const std::string& name) const
    {
        const std::u16string wide = UTF8ToWide(name);
        if (wide.empty())
            return -1;
        if (const auto found = exact_.find(wide); found != exact_.end())
            return found->second;
        const auto found = folded_.find(ItemKey(wide));
        return found != folded_.end() ? found->second : -1;
    }
    int Require(const std::string& name) const
    {
        const int index = Find(name);
        if (index < 0)
            throw EPortfolioFileError("The portfolio file has no item " + name);
        return index;
    }

private:
    std::unordered_map<std::u16string, int> exact_;
    std::unordered_map<std::u16string, int> folded_;
};

// What one open holds: it refuses an item or an artwork before reading or
// decoding it would take more than the limit.
class LoadBudget {
public:
    explicit LoadBudget(int64_t limit) : limit_(limit) {}
    int64_t Limit() const { return limit_; }
    int64_t Left() const { return limit_ - held_; }
    void Require(int64_t bytes, const std::string& what) const
    {
        if (bytes < 0 || bytes > Left())
            throw EPortfolioFileError("Opening the portfolio file would need too much memory at " + what);
    }
    void Hold(int64_t bytes) { held_ += bytes; }

private:
    int64_t limit_;
    int64_t held_ = 0;
};

// An artwork's bitmap as a worker met it once extracted: what the checks
// on it found, and the artwork decoded when that fitted in what the open
// may hold (its bytes are then let go).
struct EarlyBitmap {
    bool checked = false;
    bool valid = false;
    int64_t size = 0;
    int64_t cost = 0;
    Picture::Decoded decoded;

    // Only bitmaps are ever stored; anything else is not handed to the
    // image library's decoders, and a bitmap only once its header has shown
    // what decoding it will take.
    void Check(ArtworkStream& bitmap)
    {
        if (bitmap.Direct()) {
            decoded = bitmap.TakeDecoded();
            valid = decoded.image != nullptr;
            size = 0;
            cost = valid ? int64_t(decoded.image->GetScanWidth()) * decoded.image->GetHeight() + kPictureOverhead
                         : 0;
            checked = true;
            return;
        }
        size = bitmap.GetSize();
        TFreeBitmap::Header header;
        valid = IsBitmap(bitmap) &&
                TFreeBitmap::ReadHeader(bitmap.Memory(), static_cast<DWORD>(bitmap.GetSize()), header) &&
                header.WithinLimits();
        cost = valid ? header.DecodedBytes() + kPictureOverhead : 0;
        checked = true;
    }

    // On a worker; `inUse` is what the open holds in all, `limit` what it
    // may hold.
    void Take(ArtworkStream& bitmap, std::atomic<int64_t>& inUse, int64_t limit) noexcept
    {
        try {
            if (bitmap.Direct()) {
                // Decoded already, in the memory its bytes were counted at.
                Check(bitmap);
                inUse += cost - bitmap.ItemSize();
                return;
            }
            Check(bitmap);
            int64_t held = inUse.load();
            do {
                if (!valid || held + cost > limit)
                    return;
            } while (!inUse.compare_exchange_weak(held, held + cost));
            decoded = Picture::Decode(bitmap);
            if (decoded.image) {
                bitmap.Clear();
                inUse -= size;
            }
        } catch (...) {
            // Left to the checks and the decoding on the archiver's thread.
            checked = false;
        }
    }
};

bool IsExistingFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The attachment's bytes always come from the archive: reading the file at
// a stored path would let a received portfolio pull any local file into
// what the user later exports or mails. The path is kept only while a file
// is there to show for it.
void ReadAttachment(TZipArchiver& archiver, const ItemDirectory& items, LoadBudget& budget, Portfolio* portfolio,
                    const char* item, TMemoryStream* data, const std::string& path,
                    void (Portfolio::*setPath)(const std::string&))
{
    Extract(archiver, items.Require(item), *data, std::min(kMaxItemSize, budget.Left()));
    budget.Hold(data->GetSize());
    if (!path.empty() && !IsExistingFile(path))
        (portfolio->*setPath)(ExtractFileName(path));
}

std::atomic<int64_t> loadSizeOverride{0};

// Half of what the program may use: the machine's memory, or less where a
// control group limits it.
int64_t MachineLoadSize()
{
    return std::max(kMinLoadSize, UsableMemory() / 2);
}

} // namespace

int64_t MaxLoadSize()
{
    static const int64_t machine = MachineLoadSize();
    const int64_t chosen = loadSizeOverride.load();
    return chosen > 0 ? chosen : machine;
}

void SetMaxLoadSize(int64_t bytes)
{
    loadSizeOverride = std::max<int64_t>(bytes, 0);
}

int64_t OpenNeed(const std::vector<int64_t>& bitmapSizes, int64_t attachmentBytes)
{
    int64_t need = attachmentBytes;
    int64_t largest = 0;
    for (const int64_t size : bitmapSizes) {
        need += size + kPictureOverhead;
        largest = std::max(largest, size);
    }
    return need + largest;
}

int64_t OpenNeed(const Portfolio& portfolio)
{
    std::vector<int64_t> sizes;
    for (int i = 0; i < portfolio.GetPictureCount(); ++i) {
        const Picture* picture = portfolio.GetPicture(i);
        const TFreeWinBitmap* image = picture ? picture->GetBitmap() : nullptr;
        // A bitmap's headers and palette stay within kPictureOverhead.
        if (image)
            sizes.push_back(int64_t(image->GetScanWidth()) * image->GetHeight() + kPictureOverhead);
    }
    return OpenNeed(sizes, portfolio.GetStatementData()->GetSize() + portfolio.GetCVData()->GetSize() +
                               portfolio.GetPictureData()->GetSize());
}

std::string CommentV2()
{
    char text[64];
    std::snprintf(text, sizeof text, "%s, v%d.%d", kApplicationKey, 2, 0);
    return text;
}

namespace {

std::unique_ptr<TZipArchiver> Prepare(const std::string& path)
{
    auto archiver = std::make_unique<TZipArchiver>();
    archiver->FileName = UTF8ToWide(path);
    archiver->EncryptionMethod = caAES_128;
    archiver->SetPassword(kPassword);
    // The Windows program reads classic encryption only; said outright so
    // that no change in the archiver's password setter can switch to AES.
    archiver->EncryptionMethod = caPkzipClassic;
    archiver->SetCompressionLevel(clFastest);
    archiver->OnPassword = [](TZABaseArchiver*, const std::u16string& name, std::string&, bool&) {
        throw EPortfolioFileError("Wrong password for the item " + WideToUTF8(name));
    };
    archiver->OnProcessFileFailure = [](TZABaseArchiver*, const std::u16string&, TZAProcessOperation, int32_t,
                                        int32_t, const std::u16string&, TZAAction& action) { action = fxaAbort; };
    archiver->OnDiskFull = [](TZABaseArchiver*, int32_t, const std::u16string&, bool& cancel) { cancel = true; };
    return archiver;
}

} // namespace

std::unique_ptr<TZipArchiver> Open(const std::string& path, uint16_t mode)
{
    std::unique_ptr<TZipArchiver> archiver = Prepare(path);
    archiver->OpenArchive(mode);
    return archiver;
}

std::unique_ptr<TZipArchiver> Create(TStream& stream, const std::string& path)
{
    std::unique_ptr<TZipArchiver> archiver = Prepare(path);
    archiver->OpenArchive(stream, true);
    return archiver;
}

namespace {

// Raises when item number index is larger than maxSize.
void CheckItemSize(TZipArchiver& archiver, int index, int64_t maxSize)
{
    if (maxSize < 0 || archiver.Item(index).FullUncompressedSize() > uint64_t(maxSize))
        throw EPortfolioFileError("The item " + WideToUTF8(archiver.Item(index).FileName) + " is too large");
}

} // namespace

void Extract(TZipArchiver& archiver, int index, TMemoryStream& stream, int64_t maxSize)
{
    CheckItemSize(archiver, index, maxSize);
    BoundedStream bytes(WideToUTF8(archiver.Item(index).FileName), maxSize);
    archiver.ExtractItemToStream(index, bytes);
    stream.Swap(bytes);
    stream.SetPosition(0);
}

bool IsPlainItemName(const std::string& id)
{
    if (id.empty() || id.size() > 64)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-'))
            return false;
    return true;
}

void Add(TZipArchiver& archiver, const std::string& name, TStream& stream)
{
    if (stream.GetSize() > kMaxItemSize)
        throw EPortfolioFileError("The item " + name + " is too large");
    stream.SetPosition(0);
    archiver.AddFromStream(UTF8ToWide(name), stream, false, 0, 0, 0x20, 0);
}

bool LoadXml(Portfolio* portfolio, TStream* stream, const Vocabulary& vocabulary,
             const std::function<bool(const std::string&)>& hasItem)
{
    if (!portfolio || !stream)
        return false;
    try {
        TXMLDocument document;
        document.LoadFromStream(*stream);
        const IXMLNode root = document.ChildNode("Portfolio");
        if (root.IsNull())
            return false;
        // All three attributes must be there, even though only the template
        // name is used; an empty value is fine.
        const XMLValue version = root.GetAttribute("Version");
        const XMLValue name = root.GetAttribute("Name");
        const XMLValue templateName = root.GetAttribute(vocabulary.templateAttribute);
        if (!version || !name || !templateName)
            return false;
        TemplateLibrary* library = TemplateLibrary::Instance();
        Template* chosen = library->FindTemplate(*templateName);
        portfolio->SetTemplate(chosen ? chosen : library->GetDefaultTemplate());

        if (const IXMLNode details = root.ChildNode("Details")) {
            for (const DetailsField& field : vocabulary.details) {
                switch (field.kind) {
                case FieldKind::Text:
                case FieldKind::Path:
                    (portfolio->*field.setText)(GetChildValue(details, field.element));
                    break;
                case FieldKind::Flag:
                    (portfolio->*field.setFlag)(GetChildBool(details, field.element, false));
                    break;
                case FieldKind::Fixed:
                    (portfolio->*field.setText)(field.fixedText);
                    break;
                }
            }
        }

        if (const IXMLNode pictures = root.ChildNode("Pictures")) {
            for (const IXMLNode& node : pictures.ChildNodes()) {
                if (!node.IsElement() || node.NodeName() != "Picture")
                    continue;
                auto picture = std::make_unique<Picture>(portfolio);
                for (const PictureField& field : vocabulary.picture)
                    ((*picture).*field.set)(GetChildValue(node, field.element));
                if (hasItem && !hasItem(picture->GetID()))
                    return false;
                portfolio->AddPicture(picture.release());
            }
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string NeedsMemoryText(int64_t need, int64_t limit)
{
    const auto mib = [](int64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20); };
    return "Opening this portfolio needs " + mib(need) + " MiB of memory for its artworks, more than the program "
           "may use on this computer (" + std::to_string(limit >> 20) + " MiB). It opens on a computer with more "
           "memory.";
}

bool LoadFile(Portfolio* portfolio, const Vocabulary& vocabulary, std::string* failure)
{
    if (!portfolio)
        return false;
    try {
        std::unique_ptr<TZipArchiver> archiver = Open(portfolio->GetFileName(false), 0);
        const ItemDirectory items(*archiver);
        const auto hasItem = [&items](const std::string& name) { return items.Find(name) >= 0; };
        {
            TMemoryStream xml;
            Extract(*archiver, items.Require(kDetailsItem), xml, kMaxDetailsSize);
            if (!LoadXml(portfolio, &xml, vocabulary, hasItem))
                return false;
        }
        LoadBudget budget(MaxLoadSize());
        const int64_t limit = budget.Limit();
        // What the decoded artworks take so far; with the bitmaps still to
        // be decoded, it bounds how many are decoded at once.
        int64_t decodedHeld = 0;
        std::vector<Picture*> pictures;
        for (int i = 0; i < portfolio->GetPictureCount(); ++i)
            if (Picture* picture = portfolio->GetPicture(i))
                pictures.push_back(picture);
        // The directory tells what the whole file needs before any item is
        // read: a file over the budget is refused at once.
        {
            std::vector<int64_t> sizes;
            for (const Picture* picture : pictures) {
                const int index = items.Require(picture->GetID());
                CheckItemSize(*archiver, index, kMaxItemSize);
                sizes.push_back(int64_t(archiver->Item(index).FullUncompressedSize()));
            }
            int64_t attachments = 0;
            for (const char* item : {kStatementItem, kPictureItem, kCVItem}) {
                const int index = items.Require(item);
                CheckItemSize(*archiver, index, kMaxItemSize);
                attachments += int64_t(archiver->Item(index).FullUncompressedSize());
            }
            if (const int64_t need = OpenNeed(sizes, attachments); need > limit) {
                if (failure)
                    *failure = NeedsMemoryText(need, limit);
                return false;
            }
        }
        for (size_t first = 0; first < pictures.size();) {
            // A batch whose sizes, as the directory gives them, fit in what
            // the budget has left; each bitmap is held to its own size.
            std::vector<std::unique_ptr<ArtworkStream>> bitmaps;
            std::vector<std::pair<int, TStream*>> batch;
            int64_t claimed = 0;
            for (size_t i = first; i < pictures.size(); ++i) {
                const std::string id = pictures[i]->GetID();
                const int index = items.Require(id);
                CheckItemSize(*archiver, index, std::min(kMaxItemSize, budget.Left()));
                const int64_t size = int64_t(archiver->Item(index).FullUncompressedSize());
                if (!bitmaps.empty() && claimed + size > budget.Left())
                    break;
                claimed += size;
                bitmaps.push_back(std::make_unique<ArtworkStream>(id, size, limit));
                batch.emplace_back(index, bitmaps.back().get());
            }
            // While the batch is being extracted, a worker that has written
            // a bitmap whole checks it and decodes it at once, as far as
            // what the open holds stays within the limit, and lets go of
            // its bytes; the rest waits for the decoding below.
            std::vector<EarlyBitmap> early(bitmaps.size());
            std::atomic<int64_t> inUse{decodedHeld + claimed};
            archiver->ExtractToStreams(batch, [&](size_t k) { early[k].Take(*bitmaps[k], inUse, limit); });
            // The same checks, in the same order, as decoding one artwork
            // after the other would make; only then are those not decoded
            // yet decoded, on the workers, in groups that keep what is held
            // within the budget.
            std::vector<int64_t> costs(bitmaps.size());
            int64_t rawLeft = 0;
            int64_t earlyHeld = 0;
            for (size_t k = 0; k < bitmaps.size(); ++k) {
                const std::string& id = pictures[first + k]->GetID();
                ArtworkStream& bitmap = *bitmaps[k];
                EarlyBitmap& seen = early[k];
                if (!seen.checked)
                    seen.Check(bitmap);
                if (!seen.valid)
                    throw EPortfolioFileError("The artwork " + id + " cannot be read");
                costs[k] = seen.cost;
                rawLeft += bitmap.GetSize();
                if (seen.decoded.image)
                    earlyHeld += seen.cost;
                budget.Require(seen.size + costs[k], "the artwork " + id);
                budget.Hold(costs[k]);
            }
            for (size_t k = 0; k < bitmaps.size();) {
                size_t end = k + 1;
                int64_t group = costs[k];
                std::vector<Picture::Decoded> decoded;
                if (early[k].decoded.image) {
                    earlyHeld -= costs[k];
                    decoded.push_back(std::move(early[k].decoded));
                } else {
                    while (end < bitmaps.size() && !early[end].decoded.image &&
                           decodedHeld + earlyHeld + rawLeft + group + costs[end] <= limit)
                        group += costs[end++];
                    decoded.resize(end - k);
                    RunOnWorkers(end - k, [&](size_t i) { decoded[i] = Picture::Decode(*bitmaps[k + i]); });
                }
                for (size_t i = 0; i < decoded.size(); ++i) {
                    Picture* picture = pictures[first + k + i];
                    if (!picture->Adopt(std::move(decoded[i])))
                        throw EPortfolioFileError("The artwork " + picture->GetID() + " cannot be read");
                    rawLeft -= bitmaps[k + i]->GetSize();
                    bitmaps[k + i].reset();
                    // Read by its stored name; a name that could point
                    // elsewhere as a path is never written back.
                    if (!IsPlainItemName(picture->GetID()))
                        picture->NewID();
                }
                decodedHeld += group;
                k = end;
            }
            first += bitmaps.size();
        }
        ReadAttachment(*archiver, items, budget, portfolio, kStatementItem, portfolio->GetStatementData(),
                       portfolio->GetStatementFile(), &Portfolio::SetStatementFile);
        ReadAttachment(*archiver, items, budget, portfolio, kPictureItem, portfolio->GetPictureData(),
                       portfolio->GetPictureFile(), &Portfolio::SetPictureFile);
        ReadAttachment(*archiver, items, budget, portfolio, kCVItem, portfolio->GetCVData(), portfolio->GetCVFile(),
                       &Portfolio::SetCVFile);
        archiver->CloseArchive();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace PortfolioArchive
