#pragma once
// The open document: the artworks in page order, the artist's contact
// details, the statement, three optional attached files held as bytes, the
// path of the portfolio file, the chosen template and a modified flag.
//
// Texts are kept escaped (see Escape): that form goes to the HTML pages and
// the artist details file, the plain form to edit controls and the portfolio
// file. Every changing operation marks the document modified.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Picture;
class Template;
class TMemoryStream;

class Portfolio {
public:
    // A statement, CV or contact picture larger than this could not be
    // stored in a portfolio file, whose items are bounded alike.
    static constexpr int64_t kMaxAttachedFileSize = int64_t{512} << 20;

    // A new document prefilled from the artist's saved details; not modified.
    Portfolio();
    ~Portfolio();
    Portfolio(const Portfolio&) = delete;
    Portfolio& operator=(const Portfolio&) = delete;

    // "&" -> "&amp;", CR LF and LF -> "&break;", "<" -> "&lt;",
    // ">" -> "&gt;", '"' -> "&quot;". A lone CR passes unchanged.
    static std::string Escape(const std::string& text);
    // The inverse of Escape, in one left-to-right pass, so that escaped text
    // of a typed "&lt;" comes back as "&lt;". "&break;" becomes CR LF.
    static std::string Unescape(const std::string& text);

    // Takes ownership of a picture not yet in the list; returns the count.
    // Null, or a picture already in the list, changes nothing.
    int AddPicture(Picture* picture);
    // Removes and deletes the picture; nothing happens when it is not listed.
    void RemovePicture(Picture* picture);
    bool MoveUp(Picture* picture);
    bool MoveDown(Picture* picture);
    // Null for an index outside 0 .. count - 1.
    Picture* GetPicture(int index) const;
    int GetPictureCount() const;
    // Deletes every picture and marks the document modified, even when empty.
    void ClearPictures();

    // Getters give the stored (escaped) text, or the plain text with
    // unescaped true. Setters escape their argument and mark the document
    // modified only when the escaped text differs from the stored one.
    std::string GetName(bool unescaped) const;
    void SetName(const std::string& value);
    std::string GetPhone(bool unescaped) const;
    void SetPhone(const std::string& value);
    std::string GetEmail(bool unescaped) const;
    void SetEmail(const std::string& value);
    std::string GetAddress(bool unescaped) const;
    void SetAddress(const std::string& value);
    std::string GetWebsiteAddress(bool unescaped) const;
    // Stored without any "http://" (any letter case); whoever links it adds it.
    void SetWebsiteAddress(const std::string& value);
    std::string GetStatementTitle(bool unescaped) const;
    void SetStatementTitle(const std::string& value);
    std::string GetStatementText(bool unescaped) const;
    void SetStatementText(const std::string& value);

    // Paths, flags and template: stored as given, modified when different.
    const std::string& GetPictureFile() const { return pictureFile_; }
    void SetPictureFile(const std::string& path);
    const std::string& GetStatementFile() const { return statementFile_; }
    void SetStatementFile(const std::string& path);
    const std::string& GetCVFile() const { return cvFile_; }
    void SetCVFile(const std::string& path);
    bool GetUsePictureFile() const { return usePictureFile_; }
    void SetUsePictureFile(bool use);
    bool GetUseStatementFile() const { return useStatementFile_; }
    void SetUseStatementFile(bool use);
    bool GetUseCVFile() const { return useCVFile_; }
    void SetUseCVFile(bool use);
    Template* GetTemplate() const { return template_; }
    void SetTemplate(Template* value);

    // The portfolio file's path, or its file-name part with nameOnly true.
    std::string GetFileName(bool nameOnly) const;
    // Never marks the document modified.
    void SetFileName(const std::string& path);

    // Read the whole file into the matching stream and set the path. False,
    // with bytes and path unchanged, when the file cannot be read or is no
    // regular file of at most kMaxAttachedFileSize. The Use flags are left
    // alone.
    bool AttachStatementFile(const std::string& path);
    bool AttachCVFile(const std::string& path);
    bool AttachPictureFile(const std::string& path);
    // The portfolio's own streams, never null; they live as long as it does.
    TMemoryStream* GetStatementData() const { return statementData_.get(); }
    TMemoryStream* GetCVData() const { return cvData_.get(); }
    TMemoryStream* GetPictureData() const { return pictureData_.get(); }

    // Any of phone, e-mail, address or web site, or an artist picture in use.
    bool HasContactDetails() const;

    // Safe to call from several threads (pictures made on the pipe thread
    // mark their owner).
    bool IsModified() const { return modified_.load(); }
    void SetModified() { modified_.store(true); }
    void ClearModified() { modified_.store(false); }

    // Defined with the portfolio file reader and writer. A failed save
    // says in *failure what failed; a failed open says so only when the
    // file is not to blame (it needs more memory than the program may use).
    bool Save(std::string* failure = nullptr);
    bool Load(std::string* failure = nullptr);
    // Makes the install folder the current directory again.
    static void RestoreWorkingFolder();

    // The artist's details in "details.xml" in the application-data folder.
    static std::string DetailsFilePath();
    // True when the details file exists and is well-formed XML.
    static bool HasSavedDetails();
    // Fills name, phone, e-mail, address, web site, the artist-picture and
    // CV paths and their Use flags. False, with nothing changed, when the
    // file is missing or malformed.
    bool LoadSavedDetails();
    // Writes the details file through a temporary file; false, with any old
    // file left as it was and the reason in *error when given, when it
    // cannot be written.
    bool SaveDetails(std::string* error = nullptr);

private:
    bool AttachFile(const std::string& path, TMemoryStream& data, void (Portfolio::*setPath)(const std::string&));
    void SetEscaped(std::string& field, const std::string& value);
    void SetPath(std::string& field, const std::string& value);
    void SetFlag(bool& field, bool value);
    int IndexOf(const Picture* picture) const;

    std::vector<std::unique_ptr<Picture>> pictures_;
    // The same pictures, so that adding one of many thousands (a file being
    // read) need not search the list.
    std::unordered_set<const Picture*> listed_;
    std::atomic<bool> modified_{false};
    std::string name_;
    std::string phone_;
    std::string email_;
    std::string address_;
    std::string websiteAddress_;
    std::string pictureFile_;
    bool usePictureFile_ = false;
    std::unique_ptr<TMemoryStream> pictureData_;
    std::string statementTitle_ = "Statement";
    std::string statementText_;
    std::string statementFile_;
    bool useStatementFile_ = false;
    std::unique_ptr<TMemoryStream> statementData_;
    std::string cvFile_;
    bool useCVFile_ = false;
    std::unique_ptr<TMemoryStream> cvData_;
    std::string fileName_;
    Template* template_ = nullptr;
};
