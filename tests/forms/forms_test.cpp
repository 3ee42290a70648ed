// The two windows' descriptions against the windows as the program must show
// them, written out here on their own: every control's name, kind, parent,
// rectangle, text, hint, tab order, state, range and image, each window's
// caption, size, frame and fonts. Both front ends draw from the descriptions,
// so this checks the windows once for both programs.
#include <gtest/gtest.h>

#include <string>

#include "forms/forms.h"

namespace zenor9::forms {
namespace {

struct Expected {
  std::string name;
  Kind kind;
  std::string parent;  // empty: the window
  Rect rect;
  std::string text;
  std::string hint;
  int tabOrder = -1;
  bool enabled = true;
  bool checked = false;
  SpinRange range{};
  std::string image{};  // the tool button's image by resource name
};

// Name, kind, parent, rectangle, text, hint, tab order, enabled, checked,
// range, image.
// clang-format off
const Expected kMainForm[] = {
    {"ToolPanel", Kind::Panel, "", {0, 0, 423, 43}, "", "", 0},
    {"ToolBar", Kind::ToolBar, "ToolPanel", {1, 1, 421, 40}, "", "", 0},
    {"tbConnect", Kind::ToolButton, "ToolBar", {0, 0, 39, 38}, "", "Установка интерфейса с ККМ",
     -1, true, false, {}, "connect"},
    {"ToolButton8", Kind::Divider, "ToolBar", {39, 0, 8, 38}, "", ""},
    {"tbRead", Kind::ToolButton, "ToolBar", {47, 0, 39, 38}, "",
     "Чтение префикса локального ШК из ККМ", -1, false, false, {}, "read"},
    {"tbWrite", Kind::ToolButton, "ToolBar", {86, 0, 39, 38}, "",
     "Запись префикса локального ШК в ККМ", -1, false, false, {}, "write"},
    {"ToolButton9", Kind::Divider, "ToolBar", {125, 0, 8, 38}, "", ""},
    {"tbExit", Kind::ToolButton, "ToolBar", {133, 0, 39, 38}, "", "Выход",
     -1, true, false, {}, "exit"},
    {"Panel", Kind::Panel, "", {0, 43, 423, 136}, "", "", 1},
    {"NetNumSpinEdit", Kind::SpinEdit, "Panel", {8, 8, 41, 21}, "0", "", 2, false, false, {0, 99}},
    {"Label1", Kind::Label, "Panel", {54, 13, 103, 13}, "Сетевой номер ККМ", ""},
    {"AutoDetectCheckBox", Kind::CheckBox, "Panel", {8, 34, 409, 17},
     "Автоматически определять сетевой номер ККМ при установке интерфейса", "", 3, true, true},
    {"UseCheckBox", Kind::CheckBox, "Panel", {8, 56, 345, 17},
     "Использовать локальный штриховой код для весового товара", "", 1, true, true},
    {"ManualLabel", Kind::Label, "Panel", {74, 77, 343, 54},
     "Для изменения префикса локального штрихового кода для весо-\r\n"
     "вого товара необходимо установить интерфейс  с  ККМ,  выбрать\r\n"
     "необходимый  префикс  в  диапазоне 20-29 и записать его в ККМ.", ""},
    {"VelmorSpinEdit", Kind::SpinEdit, "Panel", {8, 92, 41, 21}, "20", "", 0, true, false, {20, 29}},
    {"PanelStatus", Kind::Panel, "", {0, 179, 423, 22}, "", "", 2},
    {"Panel1", Kind::Panel, "", {0, 201, 423, 24}, "", "", 3},
    {"RxLabel1", Kind::ShadowLabel, "Panel1", {99, 3, 209, 16},
     "zenor9-prefix · свободная программа", ""},
};

const Expected kInitCom[] = {
    {"Button1", Kind::PushButton, "", {56, 48, 129, 25}, "Установить интерфейс", "", 0},
    {"Button3", Kind::PushButton, "", {192, 48, 81, 25}, "Закрыть", "", 1},
    {"RadioButton1", Kind::RadioButton, "", {16, 16, 57, 17}, "COM1", "", 2, true, true},
    {"RadioButton2", Kind::RadioButton, "", {96, 16, 57, 17}, "COM2", "", 3},
    {"RadioButton3", Kind::RadioButton, "", {176, 16, 65, 17}, "COM3", "", 4},
    {"RadioButton4", Kind::RadioButton, "", {256, 16, 57, 17}, "COM4", "", 5},
};
// clang-format on

template <std::size_t N>
void ExpectControls(const Form& form, const Expected (&expected)[N]) {
  ASSERT_EQ(form.controls.size(), N) << form.name;
  for (std::size_t i = 0; i < N; ++i) {
    const Control& control = form.controls[i];
    const Expected& want = expected[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(control.name, want.name);
    EXPECT_EQ(control.kind, want.kind);
    EXPECT_EQ(control.parent == nullptr ? "" : control.parent, want.parent);
    EXPECT_EQ(control.rect, want.rect);
    EXPECT_EQ(control.text, want.text);
    EXPECT_EQ(control.hint, want.hint);
    EXPECT_EQ(control.tabOrder, want.tabOrder);
    EXPECT_EQ(control.enabled, want.enabled);
    EXPECT_EQ(control.checked, want.checked);
    EXPECT_EQ(control.range.min, want.range.min);
    EXPECT_EQ(control.range.max, want.range.max);
    EXPECT_EQ(control.image < 0 ? "" : form.images[static_cast<std::size_t>(control.image)],
              want.image);
  }
}

// The controls Tab stops at, in the order it goes round them.
std::vector<std::string> TabStops(const Form& form) {
  std::vector<std::string> stops;
  for (const Control* control : InTabOrder(form)) {
    if (control->tabStop && TakesFocus(control->kind)) stops.push_back(control->name);
  }
  return stops;
}

void ExpectFont(const Font& font, const char* face, int pixels, bool bold) {
  EXPECT_STREQ(font.face, face);
  EXPECT_EQ(font.pixels, pixels);
  EXPECT_EQ(font.bold, bold);
}

// The window's name, caption, client size and frame; both take "MS Sans Serif"
// at 11 pixels.
void ExpectWindow(const Form& form, const char* name, const char* caption, Rect client,
                  Frame frame) {
  EXPECT_STREQ(form.name, name);
  EXPECT_STREQ(form.caption, caption);
  EXPECT_EQ((Rect{0, 0, form.clientWidth, form.clientHeight}), client);
  EXPECT_EQ(form.frame, frame);
  ExpectFont(form.font, "MS Sans Serif", 11, false);
}

TEST(FormsTest, TheMainWindowIsDescribedAsShown) {
  const Form& form = MainForm();
  ExpectWindow(form, "MainForm", "ККМ ЗЕНОР-9 Префикс локального ШК", {0, 0, 423, 225},
               Frame::Main);
  EXPECT_STREQ(form.icon, "app");
  EXPECT_EQ(form.imageSize, 32);
  ExpectControls(form, kMainForm);
  EXPECT_EQ(TabStops(form), (std::vector<std::string>{"VelmorSpinEdit", "UseCheckBox",
                                                      "NetNumSpinEdit", "AutoDetectCheckBox"}));

  const Control& status = *Find(form, "PanelStatus");
  ASSERT_NE(status.style, nullptr);
  ExpectFont(status.style->font, "Times New Roman", 15, true);
  EXPECT_EQ(status.style->colour, (Rgb{0, 0, 255}));
  const Control& notice = *Find(form, "RxLabel1");
  ASSERT_NE(notice.style, nullptr);
  ExpectFont(notice.style->font, "MS Sans Serif", 13, true);
  EXPECT_EQ(notice.style->colour, (Rgb{255, 255, 255}));
  for (const Control& control : form.controls) {
    EXPECT_EQ(control.style != nullptr, &control == &status || &control == &notice) << control.name;
  }
}

TEST(FormsTest, TheSetUpDialogIsDescribedAsShown) {
  const Form& form = InitCom();
  ExpectWindow(form, "Init_Com", "Настройка последовательного интерфейса", {0, 0, 340, 83},
               Frame::Dialog);
  EXPECT_EQ(form.icon, nullptr);
  ExpectControls(form, kInitCom);
  // Of the radio group Tab stops at its first button only.
  EXPECT_EQ(TabStops(form), (std::vector<std::string>{"Button1", "Button3", "RadioButton1"}));
}

}  // namespace
}  // namespace zenor9::forms
