#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <type_traits>
#include <utility>

namespace detail {
// How a guard keeps the value it puts back: an object the console owns
// elsewhere is watched, so that one freed meanwhile comes back as null.
template <typename T>
struct SeamSlot {
    using Stored = T;
    static T restore(Stored &v) { return std::move(v); }
};

template <typename T>
    requires std::is_base_of_v<QObject, T>
struct SeamSlot<T *> {
    using Stored = QPointer<T>;
    static T *restore(Stored &v) { return v.data(); }
};
} // namespace detail

// Replaces one of the console's process-wide settings for as long as the
// guard lives and puts back what was there before when it goes, also when
// the test function fails or throws half-way. The setter installs its
// argument and returns the value it replaced:
//
//     ScopedSeam timeout(&RegistryIni::setTimeoutMs, 300);
//     ScopedSeam risk(&setRiskManagerClient, nullptr);
template <typename Value, typename Arg>
class ScopedSeam
{
public:
    using Setter = Value (*)(Arg);

    ScopedSeam(Setter set, std::type_identity_t<Value> value)
        : m_set(set), m_previous(set(std::move(value)))
    {
    }
    ~ScopedSeam() { m_set(detail::SeamSlot<Value>::restore(m_previous)); }

    ScopedSeam(const ScopedSeam &) = delete;
    ScopedSeam &operator=(const ScopedSeam &) = delete;

    // Installs another value; what the guard puts back stays the same.
    void set(std::type_identity_t<Value> value) { m_set(std::move(value)); }

private:
    Setter m_set;
    typename detail::SeamSlot<Value>::Stored m_previous;
};

// Sets an environment variable for as long as the guard lives; afterwards
// the variable has its earlier value again, or is unset when it had none.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_previous;
};
