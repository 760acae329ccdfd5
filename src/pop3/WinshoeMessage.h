#pragma once

// TWinshoeMessage: one mail message as far as the mail check needs it, its header fields.
//
// Headers() holds one entry per header field in the order received, each "name=value". A
// header is found by the first entry whose text before its first "=" equals the name in any
// letter case; its value is everything after that "=", exactly as received (encoded words are
// not decoded, angle brackets stay). A missing header reads as empty. HeaderValue and
// SetHeaderValue take an index into the fixed table From, Organization, References, Reply-To,
// Subject, To, Message-ID (0 to 6) and throw std::out_of_range for any other index.

#include <string>
#include <vector>

class TWinshoeMessage {
public:
    enum THeaderIndex {
        hiFrom = 0,
        hiOrganization = 1,
        hiReferences = 2,
        hiReplyTo = 3,
        hiSubject = 4,
        hiTo = 5,
        hiMessageID = 6,
    };
    static constexpr int HeaderCount = 7;

    TWinshoeMessage();

    std::vector<std::string>& Headers() { return FHeaders; }
    const std::vector<std::string>& Headers() const { return FHeaders; }

    std::string From() const { return HeaderValue(hiFrom); }
    void SetFrom(const std::string& value) { SetHeaderValue(hiFrom, value); }
    std::string Organization() const { return HeaderValue(hiOrganization); }
    void SetOrganization(const std::string& value) { SetHeaderValue(hiOrganization, value); }
    std::string References() const { return HeaderValue(hiReferences); }
    void SetReferences(const std::string& value) { SetHeaderValue(hiReferences, value); }
    std::string ReplyTo() const { return HeaderValue(hiReplyTo); }
    void SetReplyTo(const std::string& value) { SetHeaderValue(hiReplyTo, value); }
    std::string Subject() const { return HeaderValue(hiSubject); }
    void SetSubject(const std::string& value) { SetHeaderValue(hiSubject, value); }
    std::string MsgID() const { return HeaderValue(hiMessageID); }
    void SetMsgID(const std::string& value) { SetHeaderValue(hiMessageID, value); }

    // The addresses of "To" and "Cc" and the names of "Newsgroups", split by the header read.
    std::vector<std::string>& Too() { return FToo; }
    const std::vector<std::string>& Too() const { return FToo; }
    std::vector<std::string>& CCList() { return FCCList; }
    const std::vector<std::string>& CCList() const { return FCCList; }
    std::vector<std::string>& Newsgroups() { return FNewsgroups; }
    const std::vector<std::string>& Newsgroups() const { return FNewsgroups; }
    std::vector<std::string>& BCCList() { return FBCCList; }
    const std::vector<std::string>& BCCList() const { return FBCCList; }
    std::vector<std::string>& Text() { return FText; }
    const std::vector<std::string>& Text() const { return FText; }

    // The server's number of the message; set by whoever fetched it.
    int MsgNo() const { return FMsgNo; }
    void SetMsgNo(int msgNo) { FMsgNo = msgNo; }

    const std::string& ContentType() const { return FContentType; }
    void SetContentType(const std::string& contentType) { FContentType = contentType; }
    const std::string& DefaultDomain() const { return FDefaultDomain; }
    void SetDefaultDomain(const std::string& defaultDomain) { FDefaultDomain = defaultDomain; }

    // Empties the headers, every list and DefaultDomain; MsgNo becomes 0.
    void Clear();

    std::string HeaderValue(int index) const;
    // A non-empty value replaces the first matching entry (or is added at the end); an empty
    // value removes the first matching entry.
    void SetHeaderValue(int index, const std::string& value);
    static const std::string& HeaderName(int index);

    // The lookup rule by name, for any header.
    std::string Value(const std::string& name) const;
    void SetValue(const std::string& name, const std::string& value);

private:
    std::vector<std::string>::const_iterator Find(const std::string& name) const;

    std::vector<std::string> FHeaders;
    std::vector<std::string> FToo;
    std::vector<std::string> FCCList;
    std::vector<std::string> FNewsgroups;
    std::vector<std::string> FBCCList;
    std::vector<std::string> FText;
    int FMsgNo = 0;
    std::string FContentType = "text/plain";
    std::string FDefaultDomain;
};
