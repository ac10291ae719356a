#pragma once
// Top-level windows as single instances. The first reference to a window
// creates it and runs its Form_Load once, before it is first shown; showing it
// again only raises it; unloading discards the instance, so the next reference
// loads a fresh one. The program ends when no window remains loaded.

#include <QWidget>

#include <typeindex>

namespace app {

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(Qt::WindowFlags flags = Qt::Window);
    ~Form() override;

    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    bool isLoaded() const { return m_loaded; }

    // Modeless, without an owner: makes the window visible and brings it to the front.
    void Show();
    // Modal: the other windows take no input until this one is unloaded; timers
    // and painting go on in the nested loop. Returns after the unload.
    void ShowModal();
    // Runs Form_Unload, closes the window and discards the instance.
    void Unload();

signals:
    void unloaded();

protected:
    // Window size and placement, in twips.
    void setClientSizeTwips(int width, int height);
    void setFixedClientSizeTwips(int width, int height);
    // The window, its frame included, opens in the middle of the screen's
    // available area (placed when it is first shown).
    void centreOnScreen();
    // No taskbar button (the window is kept out of the taskbar before it first shows).
    void hideTaskbarButton() { m_taskbarButton = false; }

    // A close request from the window system (title-bar button, Alt+F4).
    // Windows that must stay refuse it by overriding this.
    virtual bool acceptsCloseRequest() const { return true; }
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class Forms;
    bool m_loaded = false;
    bool m_unloading = false;
    bool m_centre = false;
    bool m_taskbarButton = true;
};

// The registry of loaded windows.
class Forms : public QObject {
    Q_OBJECT
public:
    static Forms &instance();

    // The loaded instance of T, loading it first if need be.
    template<typename T>
    static T &get()
    {
        if (T *f = loaded<T>())
            return *f;
        auto *f = new T();
        instance().add(typeid(T), f);
        f->Form_Load();
        return *f;
    }

    // The loaded instance of T, or nullptr; never loads.
    template<typename T>
    static T *loaded()
    {
        return static_cast<T *>(instance().find(typeid(T)));
    }

    template<typename T>
    static T &show()
    {
        T &f = get<T>();
        f.Show();
        return f;
    }

    template<typename T>
    static void showModal()
    {
        get<T>().ShowModal();
    }

    template<typename T>
    static void unload()
    {
        if (T *f = loaded<T>())
            f->Unload();
    }

    static int loadedCount();
    // Unloads every loaded window, so that the program ends.
    static void unloadAll();

signals:
    // No window remains loaded: the program should end.
    void lastFormUnloaded();

private:
    friend class Form;
    void add(std::type_index type, Form *form);
    Form *find(std::type_index type) const;
    void remove(Form *form);
};

} // namespace app
