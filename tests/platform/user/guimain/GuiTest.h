#pragma once
// Helpers for tests that need windows. The test main starts the layer on the offscreen platform
// before any test runs; these helpers pump the layer's loop and hand windows input the way the
// toolkit would deliver it, so that the layer's own translation into messages is exercised.

#include <QString>
#include <Qt>

#include <functional>

#include "platform/user/User.h"

namespace guitest {

enum class Stage { BeforeUnits, AfterUnits, BeforeFinish };
// Registers start-up work of a test executable (call from a static object's constructor).
void OnStage(Stage stage, std::function<void()> fn);
void RunStage(Stage stage);

// Dispatches messages until `done` holds; answers whether it did. The limit is a safety net for a
// broken test, not a timing assertion.
bool PumpUntil(const std::function<bool()>& done, int limitMs = 20000);
// Dispatches what is queued right now (posted, input, paint and due timers), without waiting.
void PumpPending();

// Mouse and key input as the toolkit delivers it to the window's widget. Points are in the
// window's client coordinates.
void Mouse(pf::HWND h, int qtEventType, Qt::MouseButton button, pf::TPoint client,
           Qt::MouseButtons buttons = Qt::NoButton, Qt::KeyboardModifiers mods = Qt::NoModifier);
void Click(pf::HWND h, pf::TPoint client, Qt::MouseButton button = Qt::LeftButton);
void Wheel(pf::HWND h, pf::TPoint client, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier);
void Key(pf::HWND h, int qtKey, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier,
         bool press = true);
// Press and release.
void Type(pf::HWND h, int qtKey, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier);
// The close box of a top-level window.
void CloseBox(pf::HWND h);

// Runs `work` from the queue, inside whichever loop takes the message (a modal loop, a message
// box): the way tests drive dialogs. The work travels as the posted message's payload.
void PostWork(std::function<void()> work);
// The child window of `parent` whose widget has this Qt object name (nullptr when none).
pf::HWND FindChildByName(pf::HWND parent, const QString& name);
// Drops the window PostWork uses (tests that count windows call it first).
void ResetWork();

}  // namespace guitest
