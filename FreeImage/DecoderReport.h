#pragma once
// What the picture library's decoders report while pictures decode on this
// thread. A JPEG or TIFF cut short decodes "successfully": the decoder
// warns that its data ended early and fills the missing rows with grey or
// garbage, and only that warning tells such a picture from a whole one.
//
// One object per decode, on the decoding thread; objects nest.
class TDecoderReport {
public:
    TDecoderReport();
    ~TDecoderReport();
    TDecoderReport(const TDecoderReport&) = delete;
    TDecoderReport& operator=(const TDecoderReport&) = delete;

    // The decoder ran out of data before the picture was complete.
    bool Incomplete() const { return incomplete_; }

private:
    static void Receive(const char* message);

    TDecoderReport* outer_;
    bool incomplete_ = false;
};
