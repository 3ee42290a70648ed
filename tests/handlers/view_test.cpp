// The controls the handlers use are those of the windows' descriptions, found
// by their names both ways.
#include <gtest/gtest.h>

#include "forms/forms.h"
#include "handlers/spin_field.h"
#include "handlers/view.h"

namespace zenor9 {
namespace {

TEST(ViewTest, EveryControlOfTheHandlersIsInItsWindowUnderItsName) {
  const std::pair<Control, const forms::Form*> controls[] = {
      {Control::ToolBar, &forms::MainForm()},
      {Control::tbConnect, &forms::MainForm()},
      {Control::tbRead, &forms::MainForm()},
      {Control::tbWrite, &forms::MainForm()},
      {Control::tbExit, &forms::MainForm()},
      {Control::PanelStatus, &forms::MainForm()},
      {Control::NetNumSpinEdit, &forms::MainForm()},
      {Control::AutoDetectCheckBox, &forms::MainForm()},
      {Control::UseCheckBox, &forms::MainForm()},
      {Control::VelmorSpinEdit, &forms::MainForm()},
      {Control::Button1, &forms::InitCom()},
      {Control::Button3, &forms::InitCom()},
      {Control::RadioButton1, &forms::InitCom()},
      {Control::RadioButton2, &forms::InitCom()},
      {Control::RadioButton3, &forms::InitCom()},
      {Control::RadioButton4, &forms::InitCom()},
  };
  for (const auto& [control, form] : controls) {
    const forms::Control* described = forms::Find(*form, ControlName(control));
    ASSERT_NE(described, nullptr) << ControlName(control);
    EXPECT_EQ(ControlNamed(described->name), control);
  }
  EXPECT_EQ(ControlNamed("Label1"), std::nullopt);  // in a window, but no handler uses it
  EXPECT_EQ(SpinRangeOf(Control::UseCheckBox).max, 0);  // no spin edit, no range
}

}  // namespace
}  // namespace zenor9
