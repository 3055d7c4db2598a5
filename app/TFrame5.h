#pragma once
// TFrame5 (unit TemplateEditorFrame): the template editor inside the
// templates dialog. Edits one user template in place: its page background
// and, element by element, the text styles. Every change the user makes is
// written into the template at once, and only the property it changes;
// showing a template or an element writes nothing. Main thread only.
#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>

class QComboBox;
class Style;
class Template;
class TShape;

namespace Ui {
class TFrame5;
}

class TFrame5 : public QWidget {
    Q_OBJECT

public:
    explicit TFrame5(QWidget* owner = nullptr);
    ~TFrame5() override;

    // Shows the template (null: none; every handler then does nothing). The
    // frame keeps only the pointer: it must get null before the library
    // deletes the template.
    void SetTemplate(Template* value);
    Template* GetTemplate() const { return template_; }
    void LoadElement();

public slots:
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void ComboBox6Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void Shape1MouseDown(Qt::MouseButton button);
    void Shape2MouseDown(Qt::MouseButton button);
    void Shape3MouseDown(Qt::MouseButton button);
    void ToolButton1Click();

private:
    Style* SelectedStyle() const;
    // Writes the box's choice into the selected style's field.
    void WriteTextField(std::string Style::*field, const QComboBox* box);
    // The element's background from its box and swatch.
    void WriteElementBackground();
    // The page background colour from its box and swatch.
    void WritePageBackgroundColor();
    void EnableBackground(bool enabled);
    // Lets the user pick the swatch's colour; true when it changed hands.
    bool PickColor(TShape* shape);

    std::unique_ptr<Ui::TFrame5> ui_;
    QStringList fontNames_;
    Template* template_ = nullptr;
    std::string imageName_;
};
