#include "app/main_form.h"

#include <QCloseEvent>
#include <QScreen>

#include "app/look.h"
#include "handlers/texts.h"
#include "ui_main_form.h"

// The resources are compiled into a static library: nothing would pull them
// into the program without this call, which must stand outside any namespace.
static void LoadResources() {
  Q_INIT_RESOURCE(resources);
}

namespace zenor9 {

TMainForm::TMainForm(Handlers& handlers, QWidget* parent)
    : QWidget(parent),
      QtControls<MainWindowView>(static_cast<QWidget&>(*this)),
      handlers_(handlers),
      ui_(std::make_unique<Ui::TMainForm>()) {
  LoadResources();
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(size());
  ApplyLook();
  CenterOnScreen();
  // The prefix field takes the focus first, its text selected for typing over.
  ui_->VelmorSpinEdit->setFocus(Qt::OtherFocusReason);
  ui_->VelmorSpinEdit->selectAll();
  handlers_.Created(static_cast<MainWindowView&>(*this));
  ForwardEvents();
}

TMainForm::~TMainForm() {
  handlers_.Destroyed(static_cast<MainWindowView&>(*this));
}

void TMainForm::ForwardEvents() {
  const std::pair<QToolButton*, Control> buttons[] = {{ui_->tbConnect, Control::tbConnect},
                                                      {ui_->tbRead, Control::tbRead},
                                                      {ui_->tbWrite, Control::tbWrite},
                                                      {ui_->tbExit, Control::tbExit}};
  for (const auto& button : buttons) {
    const Control control = button.second;
    connect(button.first, &QToolButton::clicked, this,
            [this, control] { handlers_.Clicked(control); });
  }
  // A check box's click event is any change of its state, the program's too.
  const std::pair<QCheckBox*, Control> boxes[] = {
      {ui_->UseCheckBox, Control::UseCheckBox},
      {ui_->AutoDetectCheckBox, Control::AutoDetectCheckBox}};
  for (const auto& box : boxes) {
    const Control control = box.second;
    connect(box.first, &QCheckBox::toggled, this, [this, control] { handlers_.Clicked(control); });
  }
  connect(ui_->NetNumSpinEdit, &QLineEdit::textChanged, this,
          [this] { handlers_.Changed(Control::NetNumSpinEdit); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
  event->setAccepted(handlers_.CloseRequested(Window::MainForm));
}

// The status line and the footer get their own fonts first, so that the form
// font is fitted to the controls that take it.
void TMainForm::ApplyLook() {
  FitLabelFont(*ui_->PanelStatus, StatusFont(), SerifFallbacks(),
               {kStatusConnected, kStatusNoLink, kStatusRead, kStatusWritten});
  QPalette status = ui_->PanelStatus->palette();
  status.setColor(QPalette::WindowText, Qt::blue);
  ui_->PanelStatus->setPalette(status);
  FitLabelFont(*ui_->RxLabel1, NoticeFont(), SansFallbacks(), {ui_->RxLabel1->text()});
  QPalette notice = ui_->RxLabel1->palette();
  notice.setColor(QPalette::WindowText, Qt::white);
  ui_->RxLabel1->setPalette(notice);
  FitWindowFont(*this);
}

void TMainForm::CenterOnScreen() {
  // The window itself, not its frame: a frame that a window manager adds
  // later would otherwise shift it by half a title bar.
  if (const QScreen* display = screen()) {
    QRect area = geometry();
    area.moveCenter(display->geometry().center());
    setGeometry(area);
  }
}

}  // namespace zenor9
