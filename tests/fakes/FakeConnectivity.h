#pragma once

#include "Connectivity.h"

/// Answers what the test sets; not connected unless a test says otherwise, so nothing goes on line by chance.
class FakeConnectivity : public Connectivity
{
public:
    ConnectedState answer;
    ConnectedState connectedState() const override { return answer; }
};
