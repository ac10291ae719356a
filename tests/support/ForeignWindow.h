#pragma once
// A window made inside another on an X connection of its own, as libvlc makes
// its video window inside the engine's surface, and the stacking of the parent's
// children. Needs an X server (QT_QPA_PLATFORM=xcb).

#include <utility>

namespace testsupport {

class ForeignWindow {
public:
    explicit ForeignWindow(unsigned long parent);
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow &) = delete;
    ForeignWindow &operator=(const ForeignWindow &) = delete;

    bool isValid() const { return m_window != 0; }
    // Of the parent's children, the topmost: whether it is this window, and whether it is shown.
    std::pair<bool, bool> topChild() const;

private:
    void *m_display = nullptr;
    unsigned long m_parent = 0, m_window = 0;
};

} // namespace testsupport
