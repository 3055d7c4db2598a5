#pragma once
// Every template of the running program: the ones shipped in the install
// folder's "templates.vtp" first, then the user's own from the application
// data folder. One instance for the process, used on the main thread only.
#include <memory>
#include <string>
#include <vector>

#include "model/LastError.h"
#include "model/Template.h"

class TemplateLibrary : public LastError {
public:
    static TemplateLibrary* Instance();
    // Saves the user's templates and frees the library.
    static void FreeInstance();

    TemplateLibrary();
    ~TemplateLibrary();
    TemplateLibrary(const TemplateLibrary&) = delete;
    TemplateLibrary& operator=(const TemplateLibrary&) = delete;

    // The shipped file, then the user's; false when the shipped file failed.
    bool Load();
    // Reads one template file of the user's or an imported one: its
    // templates are never built-in. Names already present are skipped.
    bool LoadFile(const std::string& path, bool clear);
    bool Import(const std::string& path);
    // Writes every template that is not built-in; the old file survives a
    // failure. Only the user's own file also keeps the templates a shipped
    // one hides.
    bool Save(const std::string& path);

    int GetCount() const { return static_cast<int>(templates_.size()); }
    Template* GetTemplate(int index);
    Template* FindTemplate(const std::string& name);
    Template* GetDefaultTemplate() const;
    Template* AddTemplate(const std::string& name);
    Template* CopyTemplate(const std::string& name, const Template* source);
    bool RemoveTemplate(Template* item);

private:
    // shadowed, when given, keeps the templates skipped for a name already
    // present, so that they are written back instead of lost.
    bool LoadTemplates(const std::string& path, bool clear, bool shipped,
                       std::vector<std::unique_ptr<Template>>* shadowed = nullptr);
    std::string UserFile() const { return userFolder_ + "templates.vtp"; }
    bool IsUserFile(const std::string& path) const;

    std::vector<std::unique_ptr<Template>> templates_;
    std::string userFolder_;
    // The user's file exists but could not be read: it is moved aside
    // rather than replaced at exit.
    bool userFileDamaged_ = false;
    // The user's templates whose names a shipped template took (a newer
    // program may ship a name the user already used): not offered, but
    // saved back with the user's file.
    std::vector<std::unique_ptr<Template>> shadowed_;
};
