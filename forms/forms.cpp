#include "forms/forms.h"

#include <algorithm>

namespace zenor9::forms {

namespace {

bool IsChildOf(const Control& control, std::string_view parent) {
  return control.parent == nullptr ? parent.empty() : parent == control.parent;
}

// The controls `parent` holds in tab order, then those without one as listed.
std::vector<const Control*> SiblingsInTabOrder(const Form& form, std::string_view parent) {
  std::vector<const Control*> siblings = ChildrenOf(form, parent);
  std::stable_sort(siblings.begin(), siblings.end(), [](const Control* a, const Control* b) {
    return (b->tabOrder < 0 && a->tabOrder >= 0) ||
           (a->tabOrder >= 0 && b->tabOrder >= 0 && a->tabOrder < b->tabOrder);
  });
  return siblings;
}

void AppendInTabOrder(const Form& form, std::string_view parent,
                      std::vector<const Control*>& order) {
  for (const Control* control : SiblingsInTabOrder(form, parent)) {
    order.push_back(control);
    AppendInTabOrder(form, control->name, order);
  }
}

}  // namespace

bool TakesFocus(Kind kind) {
  return kind == Kind::SpinEdit || kind == Kind::CheckBox || kind == Kind::RadioButton ||
         kind == Kind::PushButton;
}

const Control* Find(const Form& form, std::string_view name) {
  const auto found = std::find_if(form.controls.begin(), form.controls.end(),
                                  [&](const Control& control) { return name == control.name; });
  return found == form.controls.end() ? nullptr : &*found;
}

const Control* Find(std::string_view name) {
  const Control* control = Find(MainForm(), name);
  return control != nullptr ? control : Find(InitCom(), name);
}

std::vector<const Control*> InTabOrder(const Form& form) {
  std::vector<const Control*> order;
  AppendInTabOrder(form, {}, order);
  return order;
}

std::vector<const Control*> ChildrenOf(const Form& form, std::string_view parent) {
  std::vector<const Control*> children;
  for (const Control& control : form.controls) {
    if (IsChildOf(control, parent)) children.push_back(&control);
  }
  return children;
}

}  // namespace zenor9::forms
