#pragma once

#include "core/ErrorReport.h"

#include <QObject>
#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

// Handlers never let an exception unwind through Qt's signal, event or timer
// code: every slot, event override and timer callback runs through guard(),
// which abandons the operation and hands the exception to the report (a
// declined confirmation, VoxAbort, is abandoned silently).
// VoxApplication::notify stays only as the last net.
//
//   vox::connect(button, &QPushButton::clicked, this, &TForm::BitBtn1Click);
//   vox::connect(list, &QListWidget::currentRowChanged, this, [this](int row) { ... });
//   void TForm::keyPressEvent(QKeyEvent *e) { vox::guard([&] { ... }); }
namespace vox {

// Runs fn; an exception it raises is reported and swallowed. Returns false
// when fn raised.
template <typename F>
bool guard(F &&fn) noexcept
{
    try {
        std::invoke(std::forward<F>(fn));
        return true;
    } catch (...) {
        try {
            reportException(std::current_exception());
        } catch (...) {
            // The report itself must never take the program down.
        }
        return false;
    }
}

// A callable that runs fn under guard(). It accepts exactly the argument
// lists fn accepts, so Qt drops surplus signal arguments as it does for fn.
template <typename F>
auto guarded(F fn)
{
    return [fn = std::move(fn)](auto &&...args) mutable
        requires std::invocable<F &, decltype(args)...>
    {
        guard([&] { std::invoke(fn, std::forward<decltype(args)>(args)...); });
    };
}

// A member function of obj run under guard(), taking the member's own
// parameters.
template <typename Obj, typename Base, typename Ret, typename... Args>
    requires std::derived_from<Obj, Base>
auto guarded(Obj *obj, Ret (Base::*fn)(Args...))
{
    return [obj, fn](Args... args) { guard([&] { (obj->*fn)(std::forward<Args>(args)...); }); };
}

// QObject::connect with the handler under guard(); context owns the
// connection as with Qt's own overload.
template <typename Sender, typename Signal, typename Handler>
    requires(!std::is_member_function_pointer_v<Handler>)
QMetaObject::Connection connect(const Sender *sender, Signal signal, const QObject *context,
                                Handler handler,
                                Qt::ConnectionType type = Qt::AutoConnection)
{
    return QObject::connect(sender, signal, context, guarded(std::move(handler)), type);
}

template <typename Sender, typename Signal, typename Obj, typename Base, typename Ret,
          typename... Args>
    requires std::derived_from<Obj, Base>
QMetaObject::Connection connect(const Sender *sender, Signal signal, Obj *context,
                                Ret (Base::*slot)(Args...),
                                Qt::ConnectionType type = Qt::AutoConnection)
{
    return QObject::connect(sender, signal, context, guarded(context, slot), type);
}

} // namespace vox
