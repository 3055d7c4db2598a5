#include "model/Picture.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>

#include "FreeImage/FreeWinBitmap.h"
#include "model/MD5.h"
#include "model/Options.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/PrefixedBlockStream.h"

namespace {

// Shared by every picture of the process; pictures are made on the main
// thread and on the pipe server's thread at once.
std::atomic<uint32_t> idCounter{0};

// Milliseconds since the system started, as a 32-bit count that wraps.
uint32_t TickCount()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::string DigestText(const HashDigest& digest, const MD5& md5)
{
    return digest ? md5.ToHex(digest.get()) : std::string();
}

} // namespace

Picture::Picture(Portfolio* owner) : owner_(owner)
{
    uint32_t current = idCounter.load();
    bool seeded = false;
    while (current == 0 && !seeded) {
        const uint32_t tick = TickCount();
        // A tick count of 0 would leave the counter looking unseeded.
        seeded = idCounter.compare_exchange_weak(current, tick ? tick : 1);
    }
    if (!seeded)
        idCounter.fetch_add(1);
    NewID();
}

Picture::~Picture() = default;

void Picture::MarkModified()
{
    if (owner_)
        owner_->SetModified();
}

void Picture::NewID()
{
    // The value this call advanced the counter to is its own, whatever
    // other threads do meanwhile.
    const uint32_t counter = idCounter.fetch_add(1) + 1;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::snprintf(text, sizeof text, "%08X%04X%04X%04X", counter, static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    id_ = text;
    MarkModified();
}

void Picture::SetID(const std::string& id)
{
    id_ = id;
    MarkModified();
}

void Picture::SetFileName(const std::string& path)
{
    fileName_ = path;
    MarkModified();
}

bool Picture::LoadFromFile(const std::string& path)
{
    try {
        const int size = Options::Instance()->GetPictureSize();
        const int maxSide = size >= 0 && size < kPictureSizeCount ? PictureSizes[size].maxSide : 0;
        // Read once, for the digest and the decoder alike; the read takes
        // only a regular file of a size a picture can have. The size in the
        // upper half of the flags lets a JPEG shrink while it decodes, by 1/2,
        // 1/4 or 1/8 but never below maxSide: a camera picture decodes
        // several times faster and the resize has a quarter of the pixels
        // left. Other formats ignore it.
        TMemoryStream bytes;
        bytes.LoadFromFile(path, TFreeBitmap::kMaxFileBytes);
        Decoded decoded = Decode(bytes, maxSide > 0 ? maxSide << 16 : 0);
        if (!decoded.image)
            return false;
        image_ = std::move(decoded.image);
        fileName_ = path;
        hash_ = std::move(decoded.hash);
        if (maxSide > 0)
            Resize(maxSide);
        MarkModified();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool Picture::LoadFromStream(TStream& stream)
{
    try {
        // A memory stream (an item just read from a portfolio file) is
        // hashed and decoded where it is: a large bitmap is not copied again.
        TMemoryStream copy;
        TMemoryStream* bytes = dynamic_cast<TMemoryStream*>(&stream);
        if (!bytes) {
            copy.LoadFromStream(stream);
            bytes = &copy;
        }
        Decoded decoded = Decode(*bytes);
        stream.SetPosition(0);
        return Adopt(std::move(decoded));
    } catch (const std::exception&) {
        return false;
    }
}

Picture::Decoded::Decoded() = default;
Picture::Decoded::~Decoded() = default;
Picture::Decoded::Decoded(Decoded&&) noexcept = default;
Picture::Decoded& Picture::Decoded::operator=(Decoded&&) noexcept = default;

Picture::Decoded Picture::Decode(TMemoryStream& bytes, int flags)
{
    Decoded result;
    try {
        const MD5 md5;
        std::string hash = DigestText(md5.DigestStream(&bytes), md5);
        bytes.SetPosition(0);
        auto bitmap = std::make_unique<TFreeWinBitmap>();
        const bool decoded = bitmap->LoadFromStream(bytes, flags);
        bytes.SetPosition(0);
        if (decoded) {
            result.image = std::move(bitmap);
            result.hash = std::move(hash);
        }
    } catch (const std::exception&) {
        result = Decoded{};
    }
    return result;
}

bool Picture::Adopt(Decoded decoded)
{
    if (!decoded.image)
        return false;
    image_ = std::move(decoded.image);
    hash_ = std::move(decoded.hash);
    MarkModified();
    return true;
}

bool Picture::SaveToStream(TStream& stream)
{
    if (!image_)
        return false;
    try {
        return image_->SaveToStream(FIF_BMP, stream, 0);
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<TStream> Picture::BmpFile()
{
    if (!image_)
        return nullptr;
    try {
        auto referencing = std::make_unique<TPrefixedBlockStream>();
        if (image_->SaveBmpReferencing(*referencing))
            return referencing;
        auto copy = std::make_unique<TMemoryStream>();
        if (image_->SaveToStream(FIF_BMP, *copy, 0))
            return copy;
    } catch (const std::exception&) {
    }
    return nullptr;
}

bool Picture::SaveToFolder(const std::string& folder)
{
    if (!image_)
        return false;
    // Stored paths may come from another system or a crafted file: only the
    // file-name part is used, and a name that is no file of its own is refused.
    const std::string name = SafeFileName(fileName_);
    if (name.empty())
        return false;
    try {
        return image_->Save(IncludeTrailingPathDelimiter(folder) + name, 0);
    } catch (const std::exception&) {
        return false;
    }
}

void Picture::SetEscaped(std::string& field, const std::string& value)
{
    std::string escaped = Portfolio::Escape(value);
    if (escaped != field) {
        field = std::move(escaped);
        MarkModified();
    }
}

std::string Picture::GetTitle(bool unescaped) const { return unescaped ? Portfolio::Unescape(title_) : title_; }
void Picture::SetTitle(const std::string& value) { SetEscaped(title_, value); }
std::string Picture::GetMedia(bool unescaped) const { return unescaped ? Portfolio::Unescape(media_) : media_; }
void Picture::SetMedia(const std::string& value) { SetEscaped(media_, value); }

std::string Picture::GetDimensions(bool unescaped) const
{
    return unescaped ? Portfolio::Unescape(dimensions_) : dimensions_;
}

void Picture::SetDimensions(const std::string& value) { SetEscaped(dimensions_, value); }

std::string Picture::GetDescription(bool unescaped) const
{
    return unescaped ? Portfolio::Unescape(description_) : description_;
}

void Picture::SetDescription(const std::string& value) { SetEscaped(description_, value); }

bool Picture::Rotate()
{
    if (!image_)
        return false;
    try {
        if (!image_->Rotate(90.0))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    MarkModified();
    return true;
}

bool Picture::FlipHorizontal()
{
    if (!image_)
        return false;
    try {
        if (!image_->FlipHorizontal())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    MarkModified();
    return true;
}

bool Picture::FlipVertical()
{
    if (!image_)
        return false;
    try {
        if (!image_->FlipVertical())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    MarkModified();
    return true;
}

bool Picture::Crop(int left, int top, int right, int bottom)
{
    if (!image_)
        return false;
    try {
        auto cropped = std::make_unique<TFreeWinBitmap>();
        if (!image_->CopySubImage(left, top, right, bottom, cropped.get()) || !cropped->IsValid())
            return false;
        image_ = std::move(cropped);
    } catch (const std::exception&) {
        return false;
    }
    MarkModified();
    return true;
}

bool Picture::Resize(int maxSide)
{
    if (!image_ || maxSide <= 0)
        return false;
    const int w = image_->GetWidth();
    const int h = image_->GetHeight();
    if (w <= 0 || h <= 0 || (maxSide > w && maxSide > h))
        return false;
    int newWidth;
    int newHeight;
    if (w > h) {
        const double scale = static_cast<double>(maxSide) / w;
        newWidth = maxSide;
        newHeight = static_cast<int>(h * scale + 0.5);
    } else {
        const double scale = static_cast<double>(maxSide) / h;
        newHeight = maxSide;
        newWidth = static_cast<int>(w * scale + 0.5);
    }
    if (newWidth < 1)
        newWidth = 1;
    if (newHeight < 1)
        newHeight = 1;
    try {
        if (!image_->ShrinkSmooth(newWidth, newHeight))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    MarkModified();
    return true;
}
