#pragma once
// Callbacks: small copyable values that bind a function or member function to its leading
// arguments. The binding lives in a shared, reference-counted QC_BindState; copying a
// callback shares it, never copies the bound values.
//
//   QC_Callback<bool()> load = QC_Bind(&QD_TextureAsset::Load, asset);
//   QC_Callback<void(const QD_SyncBeatEvent&)> listener = QC_Bind(&QD_SequencerBeat::OnBeat, this);
//   bool ok = load.Run();
//
// Two callbacks are bound to the same target when they share one bind state (IsSameBinding).
// A bound raw object pointer does not keep the object alive.

#include "QC_Ptr.h"

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

class QC_BindStateBase : public QC_RefCounted
{
};

// Wraps a plain function pointer or a pointer to a member function behind one call shape:
// Run(leading arguments..., call arguments...). For a member function the object pointer
// comes first.
template <typename Functor>
struct QC_FunctorRunner;

template <typename R, typename... Args>
struct QC_FunctorRunner<R (*)(Args...)>
{
    using Result = R;
    using Arguments = std::tuple<Args...>;
    R (*function)(Args...);

    template <typename... Call>
    R Run(Call&&... arguments) const
    {
        return function(std::forward<Call>(arguments)...);
    }
};

template <typename R, typename C, typename... Args>
struct QC_FunctorRunner<R (C::*)(Args...)>
{
    using Result = R;
    using Arguments = std::tuple<C*, Args...>;
    R (C::*method)(Args...);

    template <typename... Call>
    R Run(C* object, Call&&... arguments) const
    {
        return (object->*method)(std::forward<Call>(arguments)...);
    }
};

template <typename R, typename C, typename... Args>
struct QC_FunctorRunner<R (C::*)(Args...) const>
{
    using Result = R;
    using Arguments = std::tuple<const C*, Args...>;
    R (C::*method)(Args...) const;

    template <typename... Call>
    R Run(const C* object, Call&&... arguments) const
    {
        return (object->*method)(std::forward<Call>(arguments)...);
    }
};

// The runner followed by the bound arguments (decayed copies).
template <typename Runner, typename... Bound>
struct QC_BindState final : QC_BindStateBase
{
    QC_BindState(Runner boundRunner, Bound... values) : runner(boundRunner), bound(std::move(values)...) {}
    Runner runner;
    std::tuple<Bound...> bound;
};

class QC_CallbackBase
{
public:
    virtual ~QC_CallbackBase() = default;

    bool IsNull() const { return !bindState; }
    bool IsSameBinding(const QC_CallbackBase& other) const { return bindState == other.bindState; }
    QC_BindStateBase* BindState() const { return bindState.Get(); }

protected:
    QC_CallbackBase() = default;
    explicit QC_CallbackBase(QC_BindStateBase* state) : bindState(state) {}

    QC_Ptr<QC_BindStateBase> bindState;
};

template <typename Signature>
class QC_Callback;

template <typename R, typename... Args>
class QC_Callback<R(Args...)> : public QC_CallbackBase
{
public:
    using Invoker = R (*)(QC_BindStateBase*, Args...);

    QC_Callback() = default;
    QC_Callback(QC_BindStateBase* state, Invoker callInvoker) : QC_CallbackBase(state), invoker(callInvoker) {}

    bool operator==(const QC_Callback& other) const { return IsSameBinding(other); }

    // Calling an empty callback is a programming error.
    R Run(Args... arguments) const
    {
        QC_ASSERT(invoker != nullptr, "Calling an empty callback.");
        return invoker(bindState.Get(), std::forward<Args>(arguments)...);
    }

private:
    Invoker invoker = nullptr;
};

namespace qc_callback_detail
{
template <std::size_t Skip, typename R, typename Tuple, typename Indices>
struct Remaining;

template <std::size_t Skip, typename R, typename Tuple, std::size_t... I>
struct Remaining<Skip, R, Tuple, std::index_sequence<I...>>
{
    using Type = QC_Callback<R(std::tuple_element_t<Skip + I, Tuple>...)>;
};

template <typename State, typename R, typename... Rest>
R Invoke(QC_BindStateBase* base, Rest... rest)
{
    State* state = static_cast<State*>(base);
    return std::apply([&](auto&... bound) -> R { return state->runner.Run(bound..., std::forward<Rest>(rest)...); },
                      state->bound);
}

template <typename State, typename R, typename Callback>
struct InvokerFor;

template <typename State, typename R, typename... Rest>
struct InvokerFor<State, R, QC_Callback<R(Rest...)>>
{
    static constexpr typename QC_Callback<R(Rest...)>::Invoker value = &Invoke<State, R, Rest...>;
};
} // namespace qc_callback_detail

// Binds function (plain or member) to its first sizeof...(bound) arguments. The result takes
// the remaining arguments.
template <typename Functor, typename... Bound>
auto QC_Bind(Functor function, Bound... bound)
{
    using Runner = QC_FunctorRunner<Functor>;
    using Arguments = typename Runner::Arguments;
    using R = typename Runner::Result;
    constexpr std::size_t boundCount = sizeof...(Bound);
    static_assert(boundCount <= std::tuple_size_v<Arguments>, "too many bound arguments");
    using Callback = typename qc_callback_detail::Remaining<
        boundCount, R, Arguments, std::make_index_sequence<std::tuple_size_v<Arguments> - boundCount>>::Type;
    using State = QC_BindState<Runner, std::decay_t<Bound>...>;

    State* state = new State(Runner{function}, std::move(bound)...);
    return Callback(state, qc_callback_detail::InvokerFor<State, R, Callback>::value);
}
