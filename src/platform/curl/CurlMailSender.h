#pragma once

#include "MailSender.h"

/// libcurl's SMTP client (STARTTLS, TLS and AUTH are libcurl's), on every platform that has libcurl.
class CurlMailSender : public MailSender
{
public:
    MailDelivery send(const MailServer& server, const MailEnvelope& envelope) override;
};
