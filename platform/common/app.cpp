#include "platform/app.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "backend.h"
#include "gamepad.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/places.h"
#include "platform/tasks.h"
#include "platform/timer.h"

namespace {

// An idle handler that asks to be called again is, after at most this wait for a message:
// one tick of the 1 ms frame clock, which is all it waits for.
constexpr int kIdleRecallMicroseconds = 1000;

using Kind = platform::backend::Message::Kind;

bool IsRawPadEvent(const platform::backend::Message& message) {
  return message.kind == Kind::PadAttached || message.kind == Kind::PadRemoved || message.kind == Kind::PadButton ||
         message.kind == Kind::PadAxis;
}

void Dispatch(TForm& form, const platform::backend::Message& message) {
  switch (message.kind) {
    case Kind::KeyDown: {
      WORD key = message.key;
      form.FormKeyDown(key, message.shift);
      break;
    }
    case Kind::MouseDown:
      form.FormMouseDown(message.button, message.shift, message.x, message.y);
      break;
    case Kind::MouseMove:
      platform::gamepad::Pads::Instance().PointerMoved(message.x, message.y);
      form.FormMouseMove(message.shift, message.x, message.y);
      break;
    case Kind::Close:
      form.Close();
      break;
    case Kind::Deactivate:
      form.FormDeactivate();
      break;
    case Kind::PadDown:
      form.FormPadDown(static_cast<TPadButton>(message.key));
      break;
    case Kind::PadAttached:
    case Kind::PadRemoved:
    case Kind::PadButton:
    case Kind::PadAxis:
      break;  // translated before they reach a form
  }
}

}  // namespace

TApplication::TApplication() = default;

TApplication::~TApplication() {
  // The audio device stops reading before anything it reads goes away.
  platform::backend::CloseAudio();
  mainForm_.reset();
  platform::backend::Shutdown();
}

// Decided once at start-up, before any component names a file.
void TApplication::Initialize() {
  platform::backend::Initialize();
  platform::Places places = platform::FindPlaces(platform::backend::ExeNameUtf8());
  for (const std::string& notice : platform::PreparePlayerFolders(places)) {
    std::fprintf(stderr, "ことぶね: %s\n", notice.c_str());
  }
  platform::UsePlaces(std::move(places));
}

void platform::UseProgramPlaces() { UsePlaces(FindPlaces(backend::ExeNameUtf8())); }

std::string platform::ProgramPath() { return Utf8ToCp932(backend::ExeNameUtf8()).value_or(std::string{}); }

void platform::SetWindowMode(WindowMode mode) { backend::SetWindowMode(mode); }
platform::WindowMode platform::CurrentWindowMode() { return backend::CurrentWindowMode(); }

std::string TApplication::ExeName() const { return platform::ProgramPath(); }

void TApplication::AdoptMainForm(std::unique_ptr<TForm> form) {
  TForm& created = *form;
  if (!mainForm_) mainForm_ = std::move(form);
  created.DoCreate();
}

void TApplication::Run() {
  try {
    while (!terminated_) {
      if (!DispatchNextMessage(0)) Idle();
    }
  } catch (const EProgramHalt&) {
    DestroyMainForm();
    throw;
  }
  DestroyMainForm();
}

void TApplication::DestroyMainForm() {
  if (!mainForm_) return;
  platform::backend::CloseAudio();
  mainForm_->DoDestroy();
  mainForm_.reset();
}

void HaltProgram(std::string_view utf8Line) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(utf8Line.size()), utf8Line.data());
  std::fflush(stderr);
  if (std::uncaught_exceptions() == 0) throw EProgramHalt(std::string(utf8Line));
}

void TellWhyTheGameStopped(std::string_view utf8Line) {
  const platform::Places& places = platform::CurrentPlaces();
  std::string where = "on standard error";
  // Before the places are known there is no folder of ours to write into.
  if (!places.program.empty()) {
    const std::string path = platform::PlacedPath(places, places.program + "kotobune-error.txt");
    const std::string line = std::string(utf8Line) + "\n";
    const auto written =
        platform::ReplaceNativeFile(path, {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
    if (written) where = "in " + path + " (and on standard error)";
  }
  platform::backend::ShowErrorMessage("kotobune", "kotobune stopped with an error.\n\nThe reason is written " + where + ".");
}

void TApplication::ProcessMessages() {
  while (DispatchNextMessage(0)) {
  }
}

void TApplication::Terminate() { terminated_ = true; }

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) OnIdle(done);
  if (terminated_) return;
  DispatchNextMessage(done ? -1 : kIdleRecallMicroseconds);
}

bool TApplication::DispatchNextMessage(int waitMicroseconds) {
  platform::RunPostedTasks();
  auto& pads = platform::gamepad::Pads::Instance();
  auto message = pads.Drift(timeGetTime());
  if (!message) message = platform::backend::NextMessage(waitMicroseconds);
  if (!message) return false;
  if (IsRawPadEvent(*message)) message = pads.Translate(*message);
  if (message && mainForm_) Dispatch(*mainForm_, *message);
  return true;
}

TForm::TForm(TApplication& application, const TFormSettings& settings)
    : Application(application),
      ClientWidth(settings.ClientWidth),
      ClientHeight(settings.ClientHeight),
      KeyPreview(settings.KeyPreview),
      Font(settings.Font) {
  platform::backend::OpenWindow(platform::Cp932ToUtf8(application.Title), ClientWidth, ClientHeight);
}

TForm::~TForm() { platform::backend::CloseWindow(); }

HWND TForm::Handle() const { return reinterpret_cast<HWND>(const_cast<TForm*>(this)); }

void TForm::Close() {
  if (Application.Terminated()) return;
  TCloseAction action = caFree;
  FormClose(action);
  if (action != caNone) Application.Terminate();
}
