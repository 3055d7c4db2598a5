#pragma once
// TForm6 (unit TemplateForm): the templates dialog, modal, made at start-up.
// Chooses the template of the open portfolio, creates, copies and deletes
// user templates and hosts the template editor. Every choice takes effect at
// once; OK only closes the window. Main thread only.
#include <QDialog>
#include <memory>
#include <string>

class TFrame5;
class Template;

namespace Ui {
class TForm6;
}

class TForm6 : public QDialog {
    Q_OBJECT

public:
    explicit TForm6(QWidget* owner = nullptr);
    ~TForm6() override;

    TFrame5* Editor() const { return frame_.get(); }

public slots:
    void FormShow();
    void ComboBox1Change(int index);
    void Button1Click();
    void Button3Click();
    void Button4Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillTemplateList();
    void SelectTemplate(Template* value);
    void ToggleEditor();
    // The accepted, cleaned name; empty when the user cancelled or emptied it.
    std::string AskTemplateName(const std::string& caption, const std::string& prompt, const std::string& value);
    // The list entry of the portfolio's template, or -1.
    int PortfolioTemplateIndex() const;
    // Puts the selection back on the portfolio's template, nothing else.
    void ShowPortfolioTemplate();
    Template* TemplateAt(int index) const;
    void SelectNewTemplate(Template* created);

    std::unique_ptr<Ui::TForm6> ui_;
    bool editorOpen_ = false;
    std::unique_ptr<TFrame5> frame_;
};

// The templates dialog for the rest of the run.
extern TForm6* Form6;
