// The fixture both record editor window tests build on: an editor over the
// test configuration's names and the register type's profile, answering
// through a scripted operator, and its widgets found by name.
#pragma once

#include <gtest/gtest.h>

#include "data/DeviceProfile.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

template <class Editor>
class EditorWindowTest : public ::testing::Test {
 protected:
  EditorWindowTest() { profile.SetForDeviceType(); }

  template <class T>
  T* Find(const char* name) {
    T* widget = editor.template findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  WorkspaceTestConfig config;
  DeviceProfile profile;
  ScriptedOperator op;
  Editor editor{profile, config.Names(), op};
};
