#include "win32/layout.h"

#include <array>
#include <utility>

namespace zenor9::win32 {

namespace {

// In creation order, which is the tab order within each parent.
constexpr std::array kMainControls = {
    ControlLayout{kToolPanel, Kind::Panel, kNoParent, {0, 0, 423, 43}, L"", false, false},
    ControlLayout{kToolBar, Kind::ToolBar, kToolPanel, {1, 1, 421, 40}, L"", false, false},
    ControlLayout{kPanel, Kind::Panel, kNoParent, {0, 43, 423, 136}, L"", false, false},
    ControlLayout{kVelmorSpinEdit, Kind::SpinEdit, kPanel, {8, 92, 41, 21}, L"20", true, true},
    ControlLayout{kUseCheckBox,
                  Kind::CheckBox,
                  kPanel,
                  {8, 56, 345, 17},
                  L"Использовать локальный штриховой код для весового товара",
                  true,
                  true,
                  true},
    ControlLayout{
        kNetNumSpinEdit, Kind::SpinEdit, kPanel, {8, 8, 41, 21}, L"0", true, true, false, true},
    ControlLayout{
        kLabel1, Kind::Label, kPanel, {54, 13, 103, 13}, L"Сетевой номер ККМ", false, false},
    ControlLayout{kAutoDetectCheckBox,
                  Kind::CheckBox,
                  kPanel,
                  {8, 34, 409, 17},
                  L"Автоматически определять сетевой номер ККМ при установке интерфейса",
                  true,
                  true,
                  true},
    ControlLayout{kManualLabel,
                  Kind::Label,
                  kPanel,
                  {74, 77, 343, 54},
                  L"Для изменения префикса локального штрихового кода для весо-\r\n"
                  L"вого товара необходимо установить интерфейс  с  ККМ,  выбрать\r\n"
                  L"необходимый  префикс  в  диапазоне 20-29 и записать его в ККМ.",
                  false,
                  false},
    ControlLayout{kPanelStatus, Kind::StatusPanel, kNoParent, {0, 179, 423, 22}, L"", false, false},
    ControlLayout{kPanel1, Kind::Panel, kNoParent, {0, 201, 423, 24}, L"", false, false},
    ControlLayout{kRxLabel1,
                  Kind::ShadowLabel,
                  kPanel1,
                  {99, 3, 209, 16},
                  L"zenor9-prefix · свободная программа",
                  false,
                  false},
};

constexpr std::array kDialogControls = {
    ControlLayout{kButton1,
                  Kind::PushButton,
                  kNoParent,
                  {56, 48, 129, 25},
                  L"Установить интерфейс",
                  true,
                  true},
    ControlLayout{kButton3, Kind::PushButton, kNoParent, {192, 48, 81, 25}, L"Закрыть", true, true},
    ControlLayout{
        kRadioButton1, Kind::RadioButton, kNoParent, {16, 16, 57, 17}, L"COM1", true, true, true},
    ControlLayout{
        kRadioButton2, Kind::RadioButton, kNoParent, {96, 16, 57, 17}, L"COM2", false, false},
    ControlLayout{
        kRadioButton3, Kind::RadioButton, kNoParent, {176, 16, 65, 17}, L"COM3", false, false},
    ControlLayout{
        kRadioButton4, Kind::RadioButton, kNoParent, {256, 16, 57, 17}, L"COM4", false, false},
};

constexpr std::array kToolButtons = {
    ToolButtonInfo{kTbConnect, kToolButtonWidth, 0, L"Установка интерфейса с ККМ"},
    ToolButtonInfo{0, 8, -1, nullptr},
    ToolButtonInfo{kTbRead, kToolButtonWidth, 1, L"Чтение префикса локального ШК из ККМ"},
    ToolButtonInfo{kTbWrite, kToolButtonWidth, 2, L"Запись префикса локального ШК в ККМ"},
    ToolButtonInfo{0, 8, -1, nullptr},
    ToolButtonInfo{kTbExit, kToolButtonWidth, 3, L"Выход"},
};

constexpr std::pair<Control, int> kHandlerControls[] = {
    {Control::ToolBar, kToolBar},
    {Control::tbConnect, kTbConnect},
    {Control::tbRead, kTbRead},
    {Control::tbWrite, kTbWrite},
    {Control::tbExit, kTbExit},
    {Control::PanelStatus, kPanelStatus},
    {Control::NetNumSpinEdit, kNetNumSpinEdit},
    {Control::AutoDetectCheckBox, kAutoDetectCheckBox},
    {Control::UseCheckBox, kUseCheckBox},
    {Control::VelmorSpinEdit, kVelmorSpinEdit},
    {Control::Button1, kButton1},
    {Control::Button3, kButton3},
    {Control::RadioButton1, kRadioButton1},
    {Control::RadioButton2, kRadioButton2},
    {Control::RadioButton3, kRadioButton3},
    {Control::RadioButton4, kRadioButton4},
};

const WindowLayout kMainWindow{L"ККМ ЗЕНОР-9 Префикс локального ШК", 423, 225, kMainControls};
const WindowLayout kSetupDialog{L"Настройка последовательного интерфейса", 340, 83,
                                kDialogControls};

}  // namespace

const WindowLayout& MainWindowLayout() {
  return kMainWindow;
}

const WindowLayout& SetupDialogLayout() {
  return kSetupDialog;
}

std::span<const ToolButtonInfo> ToolButtons() {
  return kToolButtons;
}

int Scale(int pixels, int dpi) {
  // Rounded half away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(pixels) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

Rect Scale(const Rect& rect, int dpi) {
  // Edges are scaled, not sizes, so that neighbours that touch at 96 dpi still
  // touch at any other DPI.
  const int left = Scale(rect.left, dpi);
  const int top = Scale(rect.top, dpi);
  return {left, top, Scale(rect.left + rect.width, dpi) - left,
          Scale(rect.top + rect.height, dpi) - top};
}

int IdOf(Control control) {
  for (const auto& [known, id] : kHandlerControls) {
    if (known == control) return id;
  }
  return kNoParent;
}

std::optional<Control> ControlOf(int id) {
  for (const auto& [control, known] : kHandlerControls) {
    if (known == id) return control;
  }
  return std::nullopt;
}

const ControlLayout* FindControl(int id) {
  for (const WindowLayout* window : {&kMainWindow, &kSetupDialog}) {
    for (const ControlLayout& control : window->controls) {
      if (control.id == id) return &control;
    }
  }
  return nullptr;
}

}  // namespace zenor9::win32
