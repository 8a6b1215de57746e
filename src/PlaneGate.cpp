#include "PlaneGate.h"

std::unique_lock<std::mutex> PlaneGate::enterPlane()
{
    std::unique_lock<std::mutex> lock(mutex);
    readerLeft.wait(lock, [this] { return readersWaiting.load() == 0; });
    return lock;
}

PlaneGate::Between::Between(PlaneGate& gate) : gate(gate)
{
    gate.readersWaiting.fetch_add(1);
    lock = std::unique_lock<std::mutex>(gate.mutex);
    gate.readersWaiting.fetch_sub(1);
}

PlaneGate::Between::~Between()
{
    lock.unlock();
    gate.readerLeft.notify_all();
}
