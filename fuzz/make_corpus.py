#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ (a few dozen small files
each). Run again after changing a seed list; files are named by their SHA-1,
as libFuzzer names what it finds, so reruns are idempotent."""

import hashlib
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def h(text):
    return bytes.fromhex(text.replace(" ", ""))


# D-channel frames as the trace delivers them (address, control, layer 3).
FRAMES = [
    "02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89",                 # UI setup
    "00 81 00 00 08 01 05 05 04 03 80 90 A3 18 01 89 6C 06 01 80 31 32 33 34 70 05 81 35 36 37 38",
    "02 81 02 02 08 01 85 02 18 01 89",                             # call proceeding
    "02 81 04 02 08 01 85 01 1E 02 81 88",                          # alerting + progress
    "02 81 06 02 08 01 85 07 29 05 1A 0C 09 0A 1E 4C 04 01 80 33 34",  # connect
    "00 81 02 08 08 01 05 0F",                                      # connect ack
    "00 81 04 08 08 01 05 45 08 02 80 90",                          # disconnect
    "02 81 08 06 08 01 85 4D 08 02 80 90",                          # release
    "00 81 06 0A 08 01 05 5A 08 02 80 9F",                          # release complete
    "02 81 0A 08 08 01 85 62 1C 0D 91 A1 0A 02 01 01 02 01 22 30 02 81 00",  # AOC-D free
    "02 81 0A 08 08 01 85 62 1C 15 91 A1 12 02 02 00 05 02 01 22 30 09 A1 07 30 05 02 01 0C 0A 01 01",
    "02 81 0A 08 08 01 85 45 08 02 80 90 1C 17 91 A1 14 02 01 03 02 01 24 30 0C 30 0A A1 08 30 06 02 01 07 0A 01 01",
    "02 81 0C 0A 08 01 85 6E 27 01 F9",                             # notify
    "02 81 0C 0A 08 01 85 7B 2C 03 31 32 33 28 05 48 65 6C 6C 6F",  # information: keypad, display
    "02 81 0C 0A 08 02 01 02 05 96 04 03 80 90 A3 A1",              # two-octet CRV, shift, sending complete
    "02 81 0C 0A 08 00 62 1C 0E 91 A1 0B 02 01 07 06 06 04 00 82 67 01 05",  # global value
    "02 81 0C 0A 08 01 85 62 1C 0B 91 A2 08 02 01 07 30 03 02 01 06",  # returnResult
    "02 81 0C 0A 08 01 85 62 1C 0B 91 A3 08 02 01 07 02 01 03 05 00",  # returnError
    "02 81 0C 0A 08 01 85 62 1C 07 91 A4 04 02 01 07 80 00",         # reject
    "02 81 0C 0A 08 01 85 05 05 A1",                                # element length past the end
    "02 81 0C 0A 08 01 85 05 7C 03 88 90 A5 7D 02 91 81 6D 03 80 50 31 71 02 80 50",
    "02 81 0C 0A 08 01 85 05 74 04 01 03 81 35 76 03 21 83 36 14 01 0A",
    "02 81 0C 0A 08 03 01 02",                                      # ends inside the call reference
    "FE FF 03 0F 7C 5A 01 FF",                                      # TEI identity request
    "FC FF 03 0F 00 01 02 81",                                      # TEI assigned
    "FC FF 03 0F 7C",                                               # TEI management cut short
    "00 01 04 0A", "00 01 05 01", "00 01 09 FF", "00 01 0D 01",     # I, RNR, REJ, unknown S
    "00 01 7F", "00 01 6F", "00 01 EF", "00 01 01", "00 01 73", "02 01 0F", "02 01 87 00 00 00",
    "00 01", "00", "",
    "02 81 0C 0A 09 01 85 05",                                      # unknown protocol discriminator
]

# Facility element contents (profile octet first).
FACILITIES = [
    "", "92", "93", "9F", "91", "11",
    "91 A1 0A 02 01 01 02 01 22 30 02 81 00",
    "91 A1 12 02 02 00 05 02 01 22 30 09 A1 07 30 05 02 01 0C 0A 01 01",
    "91 A1 14 02 01 03 02 01 24 30 0C 30 0A A1 08 30 06 02 01 07 0A 01 01",
    "91 A1 0F 02 01 03 80 01 02 02 01 24 30 05 30 03 81 01 00",
    "91 A1 0E 02 01 07 06 06 04 00 82 67 01 05 02 01 00",
    "91 A2 08 02 01 07 30 03 02 01 06",
    "91 A2 0B 02 01 07 30 06 02 01 0D 0A 01 02",
    "91 A3 08 02 01 07 02 01 03 05 00",
    "91 A3 0C 02 01 07 06 07 04 00 82 67 01 05 0A",
    "91 A4 04 02 01 07 80 00",
    "91 A5 00",
    "91 A1 7F 02 01 01",
    "91 A1 84 FF FF FF FF 02 01 01",
    "91 A1 80 02 01 01 02 01 22",
    "91 A1 0B 02 05 FF FF FF FF FF 02 01 0D 30 00",
    "91 A1 1C 02 01 05 02 01 28 30 14 0A 01 00 02 01 03 30 0C A1 0A 0A 01 01 12 05 31 32 33 34 35",
    "91 A1 13 02 01 05 02 01 06 30 0B 80 01 07 A1 06 0A 01 02 12 01 31",
    "91 A1 06 02 01 05 06 81 FF",
]

# CAPI messages: header (Length, ApplID, Command, Subcommand, Number) + parameters.
def message(command, subcommand, params, number=1, appl=1):
    return struct.pack("<HHBBH", 8 + len(params), appl, command, subcommand, number) + params


def struct_(data):
    return bytes([len(data)]) + data


def trace_ind(frame, kind=0x0002):
    return message(0xFF, 0x82, struct.pack("<IIII", 1, 0x214D5641, 0, 1)
                   + bytes([len(frame) + 2]) + struct.pack("<H", kind) + frame)


def facility_info(facility):
    return message(0x08, 0x82, struct.pack("<IH", 0x0101, 0x001C) + struct_(h(facility)))


MESSAGES = [
    trace_ind(h(FRAMES[0])),
    trace_ind(h(FRAMES[1]), kind=0x0003),
    trace_ind(h(FRAMES[9])),
    trace_ind(h(FRAMES[11])),
    trace_ind(h("00 01 01")),
    message(0x02, 0x82, struct.pack("<IH", 0x0101, 0x0010) + struct_(h("80 31 32 33")) + struct_(h("01 80 35 36"))
            + b"\x00" * 2 + struct_(h("04 03 80 90 A3")) + b"\x00" * 5),          # CONNECT_IND
    message(0x02, 0x81, struct.pack("<IH", 0x0101, 0)),                           # CONNECT_CONF
    message(0x03, 0x82, struct.pack("<I", 0x0101) + struct_(h("00 80 31 32")) + b"\x00\x00"),  # CONNECT_ACTIVE_IND
    message(0x04, 0x82, struct.pack("<IH", 0x0101, 0x3490)),                      # DISCONNECT_IND
    message(0x05, 0x81, struct.pack("<IH", 1, 0)),                                # LISTEN_CONF
    facility_info(FACILITIES[6]),
    facility_info(FACILITIES[8]),
    facility_info(FACILITIES[20]),
    message(0x08, 0x82, struct.pack("<IH", 0x0101, 0x0008) + struct_(h("80 90"))),  # INFO_IND cause
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 3) + struct_(struct.pack("<H", 0x000F) + struct_(h("00 00")))),
    message(0x80, 0x81, struct.pack("<IHH", 1, 0, 3) + struct_(struct.pack("<HH", 0, 0) + struct_(h("00 00 00 00 00 00")))),
    message(0x82, 0x82, struct.pack("<I", 0x010101) + b"\x00"),                   # CONNECT_B3_IND
    message(0x83, 0x82, struct.pack("<I", 0x010101) + b"\x00"),                   # CONNECT_B3_ACTIVE_IND
    message(0x84, 0x82, struct.pack("<IH", 0x010101, 0) + b"\x00"),               # DISCONNECT_B3_IND
    message(0x86, 0x82, struct.pack("<IIHHH", 0x010101, 0, 4, 1, 0)),             # DATA_B3_IND
    message(0x86, 0x81, struct.pack("<IHH", 0x010101, 1, 0)),                     # DATA_B3_CONF
    message(0xFF, 0x82, struct.pack("<III", 1, 0x56524F4B, 0) + b"\x05" + b"\x00" * 8),  # KORV
    message(0xFF, 0x82, struct.pack("<III", 1, 0x56524F4B, 14) + struct.pack("<7H", 2026, 12, 9, 9, 30, 1, 2) + b"\x01" + b"\x05hello"),
    struct.pack("<HHBBH", 4, 1, 0x02, 0x82, 1),                                   # Length below the header
    struct.pack("<HHBBH", 200, 1, 0x08, 0x82, 1) + b"\x01\x01",                   # Length beyond the bytes
]

# Call-control confirmations and indications, singly and as whole calls.
def connect_ind(plci=0x0101, cip=16, called="80 34 37 31 31", calling="21 83 33 30 31 32 33 34 35 36 37",
                llc="", additional="02 00 00 00 00 00 02 01 00", number=1):
    return message(0x02, 0x82, struct.pack("<IH", plci, cip) + struct_(h(called)) + struct_(h(calling))
                   + b"\x00\x00" + struct_(h("80 90 A3")) + struct_(h(llc)) + struct_(h("91 81"))
                   + struct_(h(additional)), number=number)


def call(plci, number):
    ncci = plci | 0x10000
    return b"".join([
        connect_ind(plci=plci, number=number),
        message(0x03, 0x82, struct.pack("<I", plci) + struct_(h("01 80 34 37 31 31")) + b"\x00" + struct_(h("91 90 A5"))),
        message(0x82, 0x82, struct.pack("<I", ncci) + b"\x00", number=number + 1),
        message(0x83, 0x82, struct.pack("<I", ncci) + b"\x00", number=number + 2),
        message(0x84, 0x82, struct.pack("<IH", ncci, 0) + b"\x00", number=number + 3),
        message(0x04, 0x82, struct.pack("<IH", plci, 0x3490), number=number + 4),
    ])


HANDLER_MESSAGES = [
    connect_ind(),
    connect_ind(called="80 34 37 31 32", number=2),                       # matches no MSN entry
    connect_ind(called="80 75 73 65 72 40 68 6F 73 74", number=3),        # user@host
    connect_ind(called="", additional="", number=250),                    # no additional info, reject above 200
    connect_ind(llc="91 90 A5", additional="02 02 00 00 03 04 41 42 43 00 00", number=5),  # G.722, waiting, user-user
    message(0x01, 0x81, struct.pack("<IH", 0x0101, 3)),                   # ALERT_CONF: another application
    message(0x01, 0x81, struct.pack("<IH", 0x0101, 0)),
    message(0x02, 0x81, struct.pack("<IH", 0x0101, 0)),                   # CONNECT_CONF
    message(0x02, 0x81, struct.pack("<IH", 0, 0x3009)),
    message(0x02, 0x81, struct.pack("<IH", 0, 0x2005)),
    message(0x03, 0x82, struct.pack("<I", 0x0201) + b"\x00\x00\x00"),
    message(0x04, 0x81, struct.pack("<IH", 0x0101, 0)),
    message(0x04, 0x82, struct.pack("<IH", 0x0101, 0)),
    message(0x04, 0x82, struct.pack("<IH", 0x0101, 0x3304)),
    message(0x04, 0x82, struct.pack("<IH", 0xFF01, 0x3410)),
    message(0x05, 0x81, struct.pack("<IH", 1, 0)),
    message(0x08, 0x81, struct.pack("<IH", 0x0101, 0x2001)),
    message(0x08, 0x82, struct.pack("<IH", 0x0101, 0x0008) + struct_(h("80 90"))),
    message(0x41, 0x81, struct.pack("<IH", 0x0101, 0)),
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 0) + struct_(b"+")),   # handset
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 1) + struct_(b"12\x003")),  # DTMF
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 2) + b"\x00"),
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 3) + b"\x00"),
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 3) + struct_(struct.pack("<H", 0x000F) + struct_(h("00 00")))),
    message(0x80, 0x82, struct.pack("<IH", 0x0101, 9) + b"\x00"),
    message(0x80, 0x81, struct.pack("<IHH", 1, 1, 4)),                    # power management: resource conflict
    message(0x80, 0x81, struct.pack("<IHH", 1, 0, 7)),
    message(0x80, 0x81, struct.pack("<IHH", 1, 0x300E, 1)),
    message(0x80, 0x81, struct.pack("<IHH", 1, 0, 3) + struct_(struct.pack("<HH", 0, 0) + struct_(h("00 00 00 00 00 00")))),
    message(0x82, 0x81, struct.pack("<IH", 0x010101, 0x2004)),
    message(0x82, 0x82, struct.pack("<I", 0x010101) + b"\x00"),
    message(0x83, 0x82, struct.pack("<I", 0x030101) + b"\x00"),
    message(0x84, 0x81, struct.pack("<IH", 0x010101, 0)),
    message(0x88, 0x82, struct.pack("<I", 0x010101) + b"\x00"),
    struct.pack("<HHBBH", 4, 1, 0x02, 0x82, 1),                           # Length below the header
    struct.pack("<HHBBH", 200, 1, 0x04, 0x82, 1) + b"\x01\x01",         # Length beyond the bytes
]

LOGFILES = [
    b"",
    b"\xef\xbb\xbf",
    b"\xef\xbb\xbf09:36:53,123;R;setup(05);02 FF 03 08 01 05 05 04 03 80 90 A3 18 01 89 \r\n",
    b"\xef\xbb\xbf09:36:53,123;R;UI(7F), setup(05);02 FF 03 08 01 05 05 \r\n09:36:53,200;T;I(40), call proceeding(85);02 81 02 02 08 01 85 02 18 01 89 \r\n",
    b"a;b\r\n\r\na;b;c;d;e;f\r\nx\xc3\xbey;;;\r\n",
    b"no bom;\xe9t\xe9;\xfe;end\n\rline\rline2\n",
    "\ufeff12:00:00,000;R;(00);00 01 01 \r\n".encode("utf-16-le"),
    "\ufeff12:00:00,000;T;RR(40);00 81 01 0A \r\nsecond;line".encode("utf-16-be"),
    b"\xff\xfe\x00\xd8;\x00\r\x00",
    b"\xef\xbb\xbfa;b\x00;c;d\r\ne;f",
    b"7;a;b;c;d\r\nx;a\r\n-1;;;;\r\n",
    b"  lead;  spaces  ;\t\x01tab;\r\n",
    b"\xef\xbb\xbf" + b";" * 300 + b"\r\n",
    b"\xef\xbb\xbf\xc3\xbe\xc3\xbe;\xc3;\xbe\r\n",
]


def korv(subcommand, kind, params=b"", number=1):
    return message(0xFF, subcommand, struct.pack("<II", 1, 0x56524F4B) + bytes([kind]) + params, number)


def texts(*items):
    return b"".join(struct_(t.encode()) for t in items)


def contact_pictures():
    """The simulated driver's two contact pictures, a JPEG and a PNG."""
    import re
    text = (HERE.parent / "sim" / "ContactPictures.h").read_text()
    arrays = re.findall(r"\{([^}]*)\}", text)
    return [bytes(int(v, 16) for v in re.findall(r"0x([0-9A-Fa-f]{2})", a)) for a in arrays]


def korvan_seeds():
    """Selector (0 indication, 1 confirmation, 2 picture), message length,
    message, picture bytes."""
    statistics = struct.pack("<13I", 1500, 2, 215, 12, 0, 1500, 1498, 2, 1, 8, 45, 160, 20) + texts("G.711")
    trace = struct.pack("<7HB", 2026, 12, 9, 10, 15, 2, 114, 1) + struct_(b"Q.931 SETUP") + b"02 FF 03 "
    contact = texts("c1", "Doe", "Jane", "0301234", "030 1234")
    indications = [
        korv(0x82, 2, bytes([1]) + texts("<4711>", "IP address changed") + bytes([1, 3])),
        korv(0x82, 3, texts("account")), korv(0x82, 4, texts("e164")),
        korv(0x82, 9, texts("Jane", "0301234", "Hello") + b"\x00"),
        korv(0x82, 10, statistics), korv(0x82, 11, struct.pack("<H", 503) + texts("Busy")),
        korv(0x82, 13, texts("text")), korv(0x82, 14, trace),
        korv(0x82, 15, texts("sip:pbx", "pbx.local") + struct.pack("<I", 120) + texts("PBX")),
        korv(0x82, 16, bytes([3]) + texts("third")), korv(0x82, 18, struct.pack("<I", 77) + texts("RTP")),
        korv(0x82, 34), korv(0x82, 36, bytes([2])), korv(0x82, 7),
    ]
    confirmations = [korv(0x81, 5, bytes([3, 1]) + struct.pack("<H", 16000)), korv(0x81, 5, bytes([2])),
                     korv(0x81, 9, texts("ready"))]
    seeds = []
    for selector, msgs in ((0, indications), (1, confirmations)):
        seeds += [bytes([selector]) + struct.pack("<H", len(m)) + m for m in msgs]
    for picture in contact_pictures():
        with_picture = korv(0x82, 35, contact + struct.pack("<IIQ", len(picture), 1, 1))
        seeds.append(bytes([0]) + struct.pack("<H", len(with_picture)) + with_picture + picture)
        seeds.append(bytes([2, 0, 0]) + picture)
    without = korv(0x82, 35, contact + struct.pack("<II", 100, 1))
    seeds.append(bytes([0]) + struct.pack("<H", len(without)) + without)
    return seeds


def write(target, seeds):
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        (folder / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


def reader_seed(msg, ops):
    # The reader target takes the message from the front, its script of
    # operations from the back and the message size in the last three octets.
    return msg + bytes(ops) + struct.pack("<I", len(msg))[:3]


def elements(frame):
    """The elements of a Q.931 frame, each as identifier + contents."""
    if len(frame) < 5 or frame[4] != 0x08 or frame[2] & 1:
        return []
    p = 5
    p += 1 + frame[p] if p < len(frame) else 0
    p += 1  # message type
    found = []
    while p < len(frame):
        ident = frame[p]
        p += 1
        if ident >= 0x80:
            continue
        n = frame[p] if p < len(frame) else 0
        found.append(bytes([ident]) + frame[p + 1:p + 1 + n])
        p += 1 + n
    return found


def pcap(link, frames, endian="<", magic=0xA1B2C3D4):
    """A classic capture; LINUX_LAPD (177) frames get the 16-octet header, sent ones on odd places."""
    out = struct.pack(endian + "IHHiIII", magic, 2, 4, 0, 0, 65535, link)
    for i, frame in enumerate(frames):
        if link == 177:
            frame = struct.pack(">HHH8sH", 4 if i % 2 else 0, 8445, 1, b"", 0x30) + frame
        out += struct.pack(endian + "IIII", 1700000000 + i, 1000 * i, len(frame), len(frame)) + frame
    return out


def pcapng(link, frames):
    """Section header, one interface, enhanced packet blocks with a comment and flags."""
    def block(kind, body):
        body += b"\0" * (-len(body) % 4)
        return struct.pack("<II", kind, len(body) + 12) + body + struct.pack("<I", len(body) + 12)
    out = block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1))
    out += block(1, struct.pack("<HHI", link, 0, 65535))
    for i, frame in enumerate(frames):
        if link == 177:
            frame = struct.pack(">HHH8sH", 4 if i % 2 else 0, 8445, 1, b"", 0x30) + frame
        data = frame + b"\0" * (-len(frame) % 4)
        options = struct.pack("<HH", 1, 5) + b"setup\0\0\0" + struct.pack("<HHI", 2, 4, 1 + i % 2) + b"\0" * 4
        ts = (1700000000 + i) * 1000000
        out += block(6, struct.pack("<IIIII", 0, ts >> 32, ts & 0xFFFFFFFF, len(frame), len(frame)) + data + options)
    return out


def data_seeds():
    """Operations for the data target: a settings octet, then operations
    (0 indication, 1 confirmation, 2 request, 3 response, 4 wideband call,
    5 B3 connection, 6 FIFO, 7 data handle)."""
    w = lambda v: struct.pack("<H", v)
    ind = lambda length, size, handle, n=1: bytes([0, length - 8]) + w(n) + b"\0" + w(size) + w(handle) + w(0)
    conf = lambda handle: bytes([1]) + w(1) + b"\0" + w(handle) + w(0) + bytes([6])
    req = lambda flags, length: bytes([2, 0, flags]) + w(0) + w(length)
    fifo = bytes([6, 16, 12]) + bytes([0, 10, 1, 4, 0, 9, 1, 12, 0, 6, 1, 11, 2, 0, 8, 5, 1, 5])
    stream = b"".join(ind(30, 160, i % 8, i) + req(0, 160) + conf(i % 7) for i in range(6))
    return [
        bytes([1]) + ind(30, 160, 1),                        # a block
        bytes([1]) + ind(30, 300, 2),                        # cut to the B3 block size
        bytes([1]) + ind(21, 160, 3) + ind(22, 160, 4) + ind(29, 160, 5),  # short ones
        bytes([0]) + ind(30, 0, 1) + ind(40, 65535, 2),      # empty, huge, by the dispatcher
        bytes([3]) + req(0, 400) + req(0, 400) + conf(0) + conf(1) + conf(9),  # buffered
        bytes([1]) + req(1, 4096) + req(2, 160) * 9 + req(4, 0),  # direct, dropped, empty
        bytes([5]) + bytes([4, 0, 1]) + ind(30, 160, 1) + ind(30, 160, 2) + conf(0) + ind(30, 80, 3),  # wideband
        bytes([3]) + req(0, 800) + bytes([5, 1]) + w(1) + b"\0" + bytes([5, 0]) + w(2) + b"\0" + w(0) + req(0, 160),
        bytes([1]) + bytes([7, 1]) * 9 + bytes([3, 0]) + w(5) + w(1),
        bytes([3]) + fifo,
        bytes([7]) + stream,
    ]


def main():
    frames = [h(f) for f in FRAMES]
    write("frame", frames)
    write("element", sorted({e for f in frames for e in elements(f)} | {b"\x05", b"\x1c", b"\x08\x01"}))
    write("facility", [h(f) for f in FACILITIES])
    write("capi_reader", [reader_seed(m, [8, 0, 1, 2, 3, 4, 5, 8, 8, 0, 0, 2]) for m in MESSAGES])
    write("capi_writer", [bytes(range(n, n + 40)) for n in range(0, 200, 20)])
    write("logfile", LOGFILES)
    write("logview", LOGFILES)
    # The dispatcher target takes messages back to back, each by its own Length.
    calls = [frames[i:i + 5] for i in range(0, len(frames), 5)]
    write("capture", [pcap(177, c) for c in calls] + [pcap(203, c) for c in calls]
          + [pcapng(177, c) for c in calls] + [pcapng(203, calls[0]), pcap(1, calls[0]),
             pcap(177, calls[0], ">"), pcap(203, calls[0], "<", 0xA1B23C4D)])
    write("dispatcher", MESSAGES + [b"".join(MESSAGES[i:i + 4]) for i in range(0, len(MESSAGES), 4)])
    # The handler target too; whole calls carry state from message to message.
    write("handler", HANDLER_MESSAGES + [call(0x0101, 10), call(0x0201, 20) + call(0x0201, 30),
                                         b"".join(HANDLER_MESSAGES[:8]), b"".join(HANDLER_MESSAGES[8:20])])
    write("korvan", korvan_seeds())
    write("data", data_seeds())


if __name__ == "__main__":
    main()
