#pragma once

#include "MailSender.h"

/// Stands in where the program was built without a mail client: every sending fails and says so.
class UnavailableMailSender : public MailSender
{
public:
    MailDelivery send(const MailServer&, const MailEnvelope&) override
    {
        MailDelivery delivery;
        delivery.result = Result::failure("this build of the program cannot send mail");
        return delivery;
    }
};
