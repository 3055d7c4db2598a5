#pragma once
// One artwork of a portfolio: the decoded image, the file it came from with
// the MD5 of that file, an ID that also names the artwork's item in the
// portfolio file, and four texts kept escaped like the portfolio's own.
// The source file is never changed; edits work on the image in memory.
#include <memory>
#include <string>

class Portfolio;
class TFreeWinBitmap;
class TMemoryStream;
class TStream;

class Picture {
public:
    // Gets a new ID, which marks the owner modified. The owner does not take
    // the picture until Portfolio::AddPicture.
    explicit Picture(Portfolio* owner);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Decodes the file, then shrinks it to the picture-size setting. Only on
    // success are the image, path and MD5 replaced, so a failed reload keeps
    // the picture as it was.
    bool LoadFromFile(const std::string& path);
    // Decodes the stream's whole content; the MD5 becomes that of the bytes.
    // A stream that does not decode leaves the picture as it was.
    bool LoadFromStream(TStream& stream);

    // LoadFromStream in two halves, so that many pictures can be hashed and
    // decoded on worker threads: Decode touches no picture and may run on
    // any thread; Adopt, on the picture's own thread, takes the result.
    struct Decoded {
        Decoded();
        ~Decoded();
        Decoded(Decoded&&) noexcept;
        Decoded& operator=(Decoded&&) noexcept;
        std::unique_ptr<TFreeWinBitmap> image;
        std::string hash;
    };
    // Null image when the bytes do not decode. The stream is read where it
    // lies, from its start, and left rewound.
    static Decoded Decode(TMemoryStream& bytes, int flags = 0);
    // False, with the picture unchanged, for a result without an image.
    bool Adopt(Decoded decoded);

    // Appends the image as a BMP file; false without an image.
    bool SaveToStream(TStream& stream);
    // The same BMP file as a stream of its own, to be read while the image
    // stays as it is: where the image's memory holds the pixel rows as the
    // file does, they are read from there instead of copied. Null without
    // an image or when the image cannot be stored as a BMP.
    std::unique_ptr<TStream> BmpFile();
    // Writes the image into the folder under the source file's name, in the
    // format of its extension; false without an image or when that format
    // cannot hold the image.
    bool SaveToFolder(const std::string& folder);

    // Null until a load succeeds.
    TFreeWinBitmap* GetBitmap() const { return image_.get(); }
    Portfolio* GetOwner() const { return owner_; }

    const std::string& GetID() const { return id_; }
    void SetID(const std::string& id);
    // 8 hexadecimal digits of the process-wide counter, then 4 each for the
    // UTC hour, minute and second. Unique within a run, also when pictures
    // are made on several threads at once.
    void NewID();
    const std::string& GetFileName() const { return fileName_; }
    void SetFileName(const std::string& path);
    // 32 upper-case hexadecimal digits, or empty.
    const std::string& GetHash() const { return hash_; }

    std::string GetTitle(bool unescaped) const;
    void SetTitle(const std::string& value);
    std::string GetMedia(bool unescaped) const;
    void SetMedia(const std::string& value);
    std::string GetDimensions(bool unescaped) const;
    void SetDimensions(const std::string& value);
    std::string GetDescription(bool unescaped) const;
    void SetDescription(const std::string& value);

    // Edits: false, with nothing changed, without an image or when the image
    // library refuses.
    bool Rotate();
    bool FlipHorizontal();
    bool FlipVertical();
    // Pixels of the current image, top-left origin, right and bottom exclusive.
    bool Crop(int left, int top, int right, int bottom);
    // Shrinks so that the longer side is maxSide, keeping its proportions; never
    // enlarges. False for maxSide <= 0 or a picture smaller on both sides.
    bool Resize(int maxSide);

private:
    void MarkModified();
    void SetEscaped(std::string& field, const std::string& value);

    std::unique_ptr<TFreeWinBitmap> image_;
    Portfolio* owner_;
    std::string id_;
    std::string fileName_;
    std::string hash_;
    std::string title_;
    std::string media_;
    std::string dimensions_;
    std::string description_;
};
