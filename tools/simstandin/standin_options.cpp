#include "standin_options.h"

#include "cli_args.h"

namespace {

const NamedValue<ServerClasses> kClassNames[] = {{"UIPCMAIN", ServerClasses::Primary},
                                                 {"FS98MAIN", ServerClasses::Fallback},
                                                 {"both", ServerClasses::Both}};
const NamedValue<AttitudeMode> kAttitudeNames[] = {
    {"fixed", AttitudeMode::Fixed}, {"script", AttitudeMode::Script}, {"csv", AttitudeMode::Csv}};

} // namespace

bool ParseStandInOptions(int argc, const char* const* argv, StandInOptions* options,
                         std::string* error) {
    StandInOptions o;
    bool attitudeGiven = false, rawGiven = false;
    ArgWalker args(argc, argv);
    std::string_view option, value;
    while (args.Next(&option)) {
        if (TakeFlag(option, {{"--help", &o.help}, {"--verbose", &o.verbose}, {"--hang", &o.hang}}))
            continue;
        if (option.substr(0, 2) != "--") {
            *error = "unexpected argument '" + std::string(option) + "' (see --help)";
            return false;
        }

        struct Unsigned {
            const char* name;
            uint32_t* field;
        };
        const Unsigned unsignedOptions[] = {{"--reply", &o.reply},
                                            {"--delay-ms", &o.delayMs},
                                            {"--fault-after", &o.faultAfter},
                                            {"--quit-after", &o.quitAfter},
                                            {"--seconds", &o.seconds}};
        const Unsigned* plain = nullptr;
        for (const Unsigned& u : unsignedOptions) {
            if (option == u.name) plain = &u;
        }
        const bool known = plain || option == "--class" || option == "--server-version" ||
                           option == "--sim-version" || option == "--tamper" ||
                           option == "--attitude" || option == "--pitch-raw" ||
                           option == "--bank-raw" || option == "--csv";
        if (!known) {
            *error = "unknown option '" + std::string(option) + "' (see --help)";
            return false;
        }
        if (!args.Value(option, &value, error)) return false;

        bool ok = true;
        const char* expected = "";
        if (plain) {
            ok = ParseUnsigned32(value, plain->field);
            expected = "a whole number from 0 to 4294967295";
        } else if (option == "--class") {
            ok = ParseNamed(value, kClassNames, &o.classes);
            expected = "UIPCMAIN, FS98MAIN or both";
        } else if (option == "--server-version") {
            ok = ParseHex32(value, &o.serverVersion);
            expected = "a 32-bit hexadecimal value";
        } else if (option == "--sim-version") {
            ok = ParseHex32(value, &o.simVersion);
            expected = "a 32-bit hexadecimal value";
        } else if (option == "--tamper") {
            ok = ParseTamper(std::string(value).c_str(), &o.tamper);
            expected = "one of none, type, size, end, offset, garbage";
        } else if (option == "--attitude") {
            ok = ParseNamed(value, kAttitudeNames, &o.attitude);
            attitudeGiven = true;
            expected = "fixed, script or csv";
        } else if (option == "--pitch-raw" || option == "--bank-raw") {
            ok = ParseRaw32(value, option == "--pitch-raw" ? &o.pitchRaw : &o.bankRaw);
            rawGiven = true;
            expected = "a signed 32-bit value (decimal, or 0x for a bit pattern)";
        } else { // --csv
            ok = !value.empty();
            o.csvPath = value;
            expected = "a file name";
        }
        if (!ok) {
            *error = BadValue(option, value, expected);
            return false;
        }
    }

    // Options that only make sense with one attitude source imply it when no source
    // is named, and are refused beside another.
    if (!attitudeGiven && !o.csvPath.empty()) o.attitude = AttitudeMode::Csv;
    if (rawGiven && o.attitude != AttitudeMode::Fixed) {
        *error = "--pitch-raw and --bank-raw go with --attitude fixed";
        return false;
    }
    if (!o.csvPath.empty() && o.attitude != AttitudeMode::Csv) {
        *error = "--csv goes with --attitude csv";
        return false;
    }
    if (o.attitude == AttitudeMode::Csv && o.csvPath.empty() && !o.help) {
        *error = "--attitude csv needs --csv FILE";
        return false;
    }
    *options = o;
    return true;
}

const char* StandInUsage() {
    return R"(usage: simstandin.exe [options]

A stand-in for the flight simulator's IPC server: a top-level window that answers
the registered message "FsasmLib:IPC" by carrying out the batch that the client laid
in its named shared block, against 64 KiB of simulator data of its own.

Server:
  --class UIPCMAIN|FS98MAIN|both   window class(es) to register (default UIPCMAIN)
  --server-version HEX   value kept at offset 0x3304 (default 19990005; 0 = never set)
  --sim-version HEX      value kept at offset 0x3308 (default FADE0000; 0 = never set)
Attitude (pitch at 0x0578, bank at 0x057C):
  --attitude fixed       constant values (the default, level)
    --pitch-raw N --bank-raw N   raw 32-bit values (signed decimal or 0x pattern)
  --attitude script      a scripted manoeuvre: bank +-60 deg over 8 s, pitch +-20 deg over 11 s
  --attitude csv --csv FILE   replays "time_seconds,pitch_degrees,bank_degrees" lines
                         in real time, interpolated; '#' comments and a header allowed
Faults (all held back for the first --fault-after exchanges):
  --fault-after N        answer N exchanges normally first (default 0)
  --reply N              value answered after serving a batch (default 1)
  --delay-ms N           sleep N ms before answering each message
  --hang                 stop answering: take the message and never return from it;
                         only Ctrl+C or --seconds end the server then (WM_CLOSE waits
                         in the queue like every other message)
  --tamper MODE          change the batch's headers after serving it; MODE is
                         type (first type becomes 7), size (first size becomes
                         0x7FFFFFFF), end (end marker becomes a read past the batch),
                         offset (second record's offset changes), garbage
                         (headers overwritten with 0xA5), or none
Ending:
  --quit-after N         exit after N exchanges
  --seconds N            exit after N seconds
  WM_CLOSE to the window or Ctrl+C also end it.
Output:
  --verbose              print the status line every second, not only at exit
  --help                 this text

Prints "simstandin: ready ..." once its window exists, and a status line
"simstandin: exchanges=... reads=... writes=... malformed=... refused=... elapsed=...s"
at exit. A batch that runs off its block or holds an unknown record type is answered
0, and so is a message whose atom or block cannot be found. Exit status: 0, or 2 for
a bad command line or CSV file.
)";
}
