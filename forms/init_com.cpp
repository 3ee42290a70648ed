// The interface set-up dialog: the choice of COM1 to COM4 and its two buttons.
#include "forms/forms.h"

namespace zenor9::forms {

namespace {

// Listed in tab order. Of the radio group, Tab stops only at its first button;
// the arrow keys move within it.
constexpr Control kControls[] = {
    {.name = "Button1",
     .kind = Kind::PushButton,
     .rect = {56, 48, 129, 25},
     .text = "Установить интерфейс",
     .tabOrder = 0,
     .tabStop = true},
    {.name = "Button3",
     .kind = Kind::PushButton,
     .rect = {192, 48, 81, 25},
     .text = "Закрыть",
     .tabOrder = 1,
     .tabStop = true},
    {.name = "RadioButton1",
     .kind = Kind::RadioButton,
     .rect = {16, 16, 57, 17},
     .text = "COM1",
     .tabOrder = 2,
     .tabStop = true,
     .checked = true},
    {.name = "RadioButton2",
     .kind = Kind::RadioButton,
     .rect = {96, 16, 57, 17},
     .text = "COM2",
     .tabOrder = 3},
    {.name = "RadioButton3",
     .kind = Kind::RadioButton,
     .rect = {176, 16, 65, 17},
     .text = "COM3",
     .tabOrder = 4},
    {.name = "RadioButton4",
     .kind = Kind::RadioButton,
     .rect = {256, 16, 57, 17},
     .text = "COM4",
     .tabOrder = 5},
};

constexpr Form kInitCom{
    .name = "Init_Com",
    .caption = "Настройка последовательного интерфейса",
    .clientWidth = 340,
    .clientHeight = 83,
    .frame = Frame::Dialog,
    .font = {"MS Sans Serif", 11},
    .controls = kControls,
};

}  // namespace

const Form& InitCom() {
  return kInitCom;
}

}  // namespace zenor9::forms
