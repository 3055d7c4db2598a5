#pragma once
// What the portfolio readers and the writer share: the container's fixed
// names, one way of preparing the archiver, bounded extraction of an item,
// and the reader that serves both file versions from a table of elements.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"

class Picture;
class Portfolio;
class TMemoryStream;
class TStream;
class TZipArchiver;

namespace PortfolioArchive {

inline constexpr const char* kApplicationKey = "VelmoraAlbumDesignerPro";
inline constexpr const char* kSignatureV1 = "VelmoraAlbumDesignerPro, v1.";
inline constexpr const char* kSignatureV2 = "VelmoraAlbumDesignerPro, v2.";
// Files of both versions, and the Windows program, use this one password.
inline constexpr const char* kPassword = "Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay";

inline constexpr const char* kDetailsItem = "_XML_DETAILS_";
inline constexpr const char* kTemplateItem = "_TEMPLATE_XML_";
inline constexpr const char* kStatementItem = "_STATEMENT_FILE_";
inline constexpr const char* kCVItem = "_CV_FILE_";
inline constexpr const char* kPictureItem = "_PICTURE_FILE_";

// No item of a portfolio comes near this; a larger one is refused on both
// sides, so a crafted file cannot make an open inflate gigabytes into memory
// and a save never writes a file that could not be opened again.
inline constexpr int64_t kMaxItemSize = int64_t{512} << 20;
// The description of thousands of artworks stays far below this; its parsed
// form takes several times its size.
inline constexpr int64_t kMaxDetailsSize = int64_t{16} << 20;
// What opening one file may hold in memory at once (MaxLoadSize()): decoded
// artworks and attachments, plus the item being read and its decoded image.
// Each artwork also counts kPictureOverhead for what it costs beyond its
// pixels. The budget follows the machine, so that what a machine saves it
// can open again; it is never below kMinLoadSize.
inline constexpr int64_t kMinLoadSize = int64_t{768} << 20;
inline constexpr int64_t kPictureOverhead = 4096;

// Half of the memory the program may use (the machine's, or its control
// group's limit when that is lower), at least kMinLoadSize; or what
// SetMaxLoadSize() gave.
int64_t MaxLoadSize();
// Replaces the machine's budget; 0 gives it back.
void SetMaxLoadSize(int64_t bytes);

// What opening a file needs at most, counted from the sizes of its artworks'
// bitmaps and of its attachments: every artwork decoded, and the largest
// bitmap read beside them while it is decoded. The reader refuses a file
// whose directory gives more than MaxLoadSize() before reading any item.
int64_t OpenNeed(const std::vector<int64_t>& bitmapSizes, int64_t attachmentBytes);
// The same for the portfolio as a save would write it now.
int64_t OpenNeed(const Portfolio& portfolio);

// Failures of our own on the way (a missing or oversized item, an artwork
// that is no bitmap). Part of the Exception family like the archiver's.
class EPortfolioFileError : public Exception {
public:
    using Exception::Exception;
};

// "VelmoraAlbumDesignerPro, v2.0"
std::string CommentV2();

// An archiver set up for portfolio files and opened with the mode (0 reads
// an existing file, 0xFFFF creates one). It never asks anyone anything: a
// wrong password, an item that fails and a full disk raise exceptions.
std::unique_ptr<TZipArchiver> Open(const std::string& path, uint16_t mode);
// The same archiver creating a new archive in the stream, which stays the
// caller's; path only names the file in messages.
std::unique_ptr<TZipArchiver> Create(TStream& stream, const std::string& path);

// Replaces the stream's content with the bytes of item number index and
// rewinds it; raises when the item is larger than maxSize (whatever its
// directory entry claims) or cannot be decoded.
void Extract(TZipArchiver& archiver, int index, TMemoryStream& stream, int64_t maxSize = kMaxItemSize);
// Adds the stream's whole content under the name; raises for a stream larger
// than kMaxItemSize. The archiver reads the stream when the update commits,
// so it must outlive the archiver's EndUpdate (or the add, outside an update).
void Add(TZipArchiver& archiver, const std::string& name, TStream& stream);

// ---- the elements of the "_XML_DETAILS_" document of one version

enum class FieldKind {
    Text,   // escaped in the document model, plain in the file
    Path,   // as stored, with a "Hash" attribute in the file
    Flag,   // "true" / "false"
    Fixed,  // not in the file: the setter gets fixedText on every read
};

struct DetailsField {
    FieldKind kind;
    const char* element = nullptr;
    std::string (Portfolio::*getText)(bool) const = nullptr;
    const std::string& (Portfolio::*getPath)() const = nullptr;
    bool (Portfolio::*getFlag)() const = nullptr;
    void (Portfolio::*setText)(const std::string&) = nullptr;
    void (Portfolio::*setFlag)(bool) = nullptr;
    const char* fixedText = nullptr;
};

enum class PictureFieldKind {
    Text,    // escaped in the model, plain in the file
    Plain,   // written and read as it stands
    Source,  // the source path with the picture's recorded MD5
};

struct PictureField {
    PictureFieldKind kind;
    const char* element;
    std::string (Picture::*getText)(bool) const = nullptr;
    const std::string& (Picture::*getPlain)() const = nullptr;
    void (Picture::*set)(const std::string&) = nullptr;
};

struct Vocabulary {
    const char* templateAttribute;
    std::span<const DetailsField> details;
    std::span<const PictureField> picture;
};

// Reads the document from the stream's position into the portfolio. False
// for text that is not well-formed, a missing "Portfolio" root or a root
// without "Version", "Name" or the template attribute. With hasItem, a
// picture whose ID names no item fails the read as soon as it is met.
bool LoadXml(Portfolio* portfolio, TStream* stream, const Vocabulary& vocabulary,
             const std::function<bool(const std::string&)>& hasItem = {});

// Opens the portfolio's file, reads its document in the vocabulary, then
// every artwork by its ID and the three attachments, all from the archive,
// within MaxLoadSize(). A file whose directory asks for more than that is
// refused before any artwork is read, with *failure saying how much it
// needs; other failures leave *failure as it was.
bool LoadFile(Portfolio* portfolio, const Vocabulary& vocabulary, std::string* failure = nullptr);

// The refusal of a file that needs more memory than the program may use.
std::string NeedsMemoryText(int64_t need, int64_t limit);

// An ID that can name an item and a file of its own anywhere: letters,
// digits, "_" and "-", at most 64 of them. IDs the program makes are such.
bool IsPlainItemName(const std::string& id);

} // namespace PortfolioArchive
