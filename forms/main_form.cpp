// The main window: the tool bar, the net number and prefix fields, the status
// line and the footer.
#include "forms/forms.h"
#include "link/net_number.h"
#include "memmap/prefix_cells.h"

namespace zenor9::forms {

namespace {

constexpr Font kFormFont{"MS Sans Serif", 11};
constexpr TextStyle kStatusStyle{{"Times New Roman", 15, true}, {0, 0, 255}};
constexpr TextStyle kNoticeStyle{{"MS Sans Serif", 13, true}, {255, 255, 255}};

constexpr SpinRange kNetNumbers{0, kNetNumberCount - 1};
constexpr SpinRange kPrefixes{kLowestPrefix, kHighestPrefix};

constexpr const char* kImages[] = {"connect", "read", "write", "exit"};

// Top to bottom, as a person reads the window.
constexpr Control kControls[] = {
    {.name = "ToolPanel", .kind = Kind::Panel, .rect = {0, 0, 423, 43}, .tabOrder = 0},
    {.name = "ToolBar",
     .kind = Kind::ToolBar,
     .parent = "ToolPanel",
     .rect = {1, 1, 421, 40},
     .tabOrder = 0},
    {.name = "tbConnect",
     .kind = Kind::ToolButton,
     .parent = "ToolBar",
     .rect = {0, 0, 39, 38},
     .hint = "Установка интерфейса с ККМ",
     .image = 0},
    {.name = "ToolButton8", .kind = Kind::Divider, .parent = "ToolBar", .rect = {39, 0, 8, 38}},
    {.name = "tbRead",
     .kind = Kind::ToolButton,
     .parent = "ToolBar",
     .rect = {47, 0, 39, 38},
     .hint = "Чтение префикса локального ШК из ККМ",
     .enabled = false,
     .image = 1},
    {.name = "tbWrite",
     .kind = Kind::ToolButton,
     .parent = "ToolBar",
     .rect = {86, 0, 39, 38},
     .hint = "Запись префикса локального ШК в ККМ",
     .enabled = false,
     .image = 2},
    {.name = "ToolButton9", .kind = Kind::Divider, .parent = "ToolBar", .rect = {125, 0, 8, 38}},
    {.name = "tbExit",
     .kind = Kind::ToolButton,
     .parent = "ToolBar",
     .rect = {133, 0, 39, 38},
     .hint = "Выход",
     .image = 3},
    {.name = "Panel", .kind = Kind::Panel, .rect = {0, 43, 423, 136}, .tabOrder = 1},
    {.name = "NetNumSpinEdit",
     .kind = Kind::SpinEdit,
     .parent = "Panel",
     .rect = {8, 8, 41, 21},
     .text = "0",
     .tabOrder = 2,
     .tabStop = true,
     .enabled = false,
     .range = kNetNumbers},
    {.name = "Label1",
     .kind = Kind::Label,
     .parent = "Panel",
     .rect = {54, 13, 103, 13},
     .text = "Сетевой номер ККМ"},
    {.name = "AutoDetectCheckBox",
     .kind = Kind::CheckBox,
     .parent = "Panel",
     .rect = {8, 34, 409, 17},
     .text = "Автоматически определять сетевой номер ККМ при установке интерфейса",
     .tabOrder = 3,
     .tabStop = true,
     .checked = true},
    {.name = "UseCheckBox",
     .kind = Kind::CheckBox,
     .parent = "Panel",
     .rect = {8, 56, 345, 17},
     .text = "Использовать локальный штриховой код для весового товара",
     .tabOrder = 1,
     .tabStop = true,
     .checked = true},
    {.name = "ManualLabel",
     .kind = Kind::Label,
     .parent = "Panel",
     .rect = {74, 77, 343, 54},
     .text = "Для изменения префикса локального штрихового кода для весо-\r\n"
             "вого товара необходимо установить интерфейс  с  ККМ,  выбрать\r\n"
             "необходимый  префикс  в  диапазоне 20-29 и записать его в ККМ."},
    {.name = "VelmorSpinEdit",
     .kind = Kind::SpinEdit,
     .parent = "Panel",
     .rect = {8, 92, 41, 21},
     .text = "20",
     .tabOrder = 0,
     .tabStop = true,
     .range = kPrefixes},
    {.name = "PanelStatus",
     .kind = Kind::Panel,
     .rect = {0, 179, 423, 22},
     .tabOrder = 2,
     .style = &kStatusStyle},
    {.name = "Panel1", .kind = Kind::Panel, .rect = {0, 201, 423, 24}, .tabOrder = 3},
    {.name = "RxLabel1",
     .kind = Kind::ShadowLabel,
     .parent = "Panel1",
     .rect = {99, 3, 209, 16},
     .text = "zenor9-prefix · свободная программа",
     .style = &kNoticeStyle},
};

constexpr Form kMainForm{
    .name = "MainForm",
    .caption = "ККМ ЗЕНОР-9 Префикс локального ШК",
    .clientWidth = 423,
    .clientHeight = 225,
    .frame = Frame::Main,
    .font = kFormFont,
    .icon = "app",
    .images = kImages,
    .imageSize = 32,
    .controls = kControls,
};

}  // namespace

const Form& MainForm() {
  return kMainForm;
}

}  // namespace zenor9::forms
