#pragma once
// Finishes a PDF made by cairo: document information, embedded files, and an
// atomic write (temporary file in the target folder renamed over the target).
#include <string>
#include <vector>

struct PdfAttachment {
    std::string name; // file-name part shown by viewers
    std::string description;
    std::string bytes;
};

// False with *error set when the input cannot be read or the file cannot be
// written; the target is then left as it was.
bool WritePdfFile(const std::string& pdf, const std::string& author, const std::string& title,
    const std::vector<PdfAttachment>& attachments, const std::string& path, std::string* error);
