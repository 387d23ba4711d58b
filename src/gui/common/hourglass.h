#pragma once

// Shows the hourglass for as long as it lives, and restores the pointer on every path out, failures included.
class Hourglass
{
public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

    // Back to the default pointer early, before the guard goes out of scope.
    void release();

private:
    bool m_active = true;
};
