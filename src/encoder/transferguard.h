#pragma once
// One encoder transfer at a time. Detection, the database read and write, the pager-ID lookup
// and the message test console each hold a TransferGuard while they run; the wait loops inside
// them yield to the event loop, so a click may try to start another transfer meanwhile. The
// command that starts a transfer takes the guard first and does nothing when it is taken:
//
//   TransferGuard guard;
//   if (!guard)
//       return;            // another transfer is running
//
// Code that a transfer calls on its own (the read that follows detection, say) runs under the
// guard its caller holds and does not take it again.

class TransferGuard {
public:
    TransferGuard() : m_owner(!running())
    {
        if (m_owner)
            running() = true;
    }
    ~TransferGuard()
    {
        if (m_owner)
            running() = false;
    }
    TransferGuard(const TransferGuard &) = delete;
    TransferGuard &operator=(const TransferGuard &) = delete;

    explicit operator bool() const { return m_owner; }

    static bool Running() { return running(); }

private:
    static bool &running()
    {
        static bool flag = false;
        return flag;
    }
    bool m_owner;
};

inline bool TransferRunning()
{
    return TransferGuard::Running();
}
