// Base of the process-wide single objects (the loggers, the diagnostics thread).
//
// The instance is a function-static object: created on the first GetInstance call,
// thread-safely, and destroyed at process exit in reverse order of creation. A class
// whose constructor is not public declares `friend class CSingleton<T>;`.
#pragma once

template <typename T>
class CSingleton {
public:
    static T& GetInstance() {
        static T instance;
        return instance;
    }

    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;

protected:
    CSingleton() = default;
    ~CSingleton() = default;
};
