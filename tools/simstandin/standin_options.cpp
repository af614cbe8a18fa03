#include "standin_options.h"

#include "cli_args.h"

namespace {

const NamedValue<ServerClasses> kClassNames[] = {{"UIPCMAIN", ServerClasses::Primary},
                                                 {"FS98MAIN", ServerClasses::Fallback},
                                                 {"both", ServerClasses::Both}};
const NamedValue<AttitudeMode> kAttitudeNames[] = {{"fixed", AttitudeMode::Fixed},
                                                   {"script", AttitudeMode::Script},
                                                   {"csv", AttitudeMode::Csv},
                                                   {"steps", AttitudeMode::Steps}};

bool FaultGiven(const StandInOptions& o) {
    return o.reply != 1 || o.delayMs != 0 || o.hang || o.tamper != Tamper::None;
}

} // namespace

bool ParseStandInOptions(int argc, const char* const* argv, StandInOptions* options,
                         std::string* error) {
    StandInOptions o;
    bool attitudeGiven = false, rawGiven = false, stepGiven = false, countGiven = false;
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
            uint32_t least;
            bool* given;
        };
        const Unsigned unsignedOptions[] = {{"--reply", &o.reply, 0, nullptr},
                                            {"--delay-ms", &o.delayMs, 0, nullptr},
                                            {"--fault-after", &o.faultAfter, 0, nullptr},
                                            {"--fault-count", &o.faultCount, 1, &countGiven},
                                            {"--quit-after", &o.quitAfter, 0, nullptr},
                                            {"--seconds", &o.seconds, 0, nullptr},
                                            {"--step-ms", &o.stepMs, 1, &stepGiven}};
        const Unsigned* plain = nullptr;
        for (const Unsigned& u : unsignedOptions) {
            if (option == u.name) plain = &u;
        }
        const bool known = plain || option == "--class" || option == "--server-version" ||
                           option == "--sim-version" || option == "--tamper" ||
                           option == "--attitude" || option == "--pitch-raw" ||
                           option == "--bank-raw" || option == "--csv" || option == "--record";
        if (!known) {
            *error = "unknown option '" + std::string(option) + "' (see --help)";
            return false;
        }
        if (!args.Value(option, &value, error)) return false;

        bool ok = true;
        const char* expected = "";
        if (plain) {
            ok = ParseUnsigned32(value, plain->field) && *plain->field >= plain->least;
            expected = plain->least == 0 ? "a whole number from 0 to 4294967295"
                                         : "a whole number from 1 to 4294967295";
            if (plain->given) *plain->given = true;
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
            expected = "fixed, script, csv or steps";
        } else if (option == "--pitch-raw" || option == "--bank-raw") {
            ok = ParseRaw32(value, option == "--pitch-raw" ? &o.pitchRaw : &o.bankRaw);
            rawGiven = true;
            expected = "a signed 32-bit value (decimal, or 0x for a bit pattern)";
        } else { // --csv, --record
            ok = !value.empty();
            (option == "--csv" ? o.csvPath : o.recordPath) = value;
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
    if (!attitudeGiven && stepGiven && o.csvPath.empty()) o.attitude = AttitudeMode::Steps;
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
    if (stepGiven && o.attitude != AttitudeMode::Steps) {
        *error = "--step-ms goes with --attitude steps";
        return false;
    }
    // A count that could never end, or that has nothing to count, is a mistake in
    // the command line rather than a server that behaves.
    if (countGiven && o.hang) {
        *error = "--fault-count does not go with --hang: a hung server answers nothing more";
        return false;
    }
    if (countGiven && !FaultGiven(o)) {
        *error = "--fault-count needs a fault to count: --reply other than 1, --delay-ms or "
                 "--tamper";
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
  --attitude steps --step-ms M   a new attitude every M ms (default 100), never the
                         same twice: step k (0 from the start) holds pitch raw
                         (k+1)*1193047 and bank raw (k+1)*-3579139, wrapped to 32 bits
Faults (all held back for the first --fault-after exchanges):
  --fault-after N        answer N exchanges normally first (default 0)
  --fault-count N        misbehave for N exchanges only, then answer normally again
                         (default: for good); needs --reply, --delay-ms or --tamper
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
  --record FILE          writes a line per answered message, "t_us bytes reads writes
                         reply", and with --attitude steps one per step, "t_us change
                         pitchRaw bankRaw"; t_us is QueryPerformanceCounter in
                         microseconds (when the message came in; when the step began),
                         bytes the batch's length with its end marker (0: no block
                         found for the message). Each line goes to the file at once.
  --verbose              print the status line every second, not only at exit
  --help                 this text

Prints "simstandin: ready ..." once its window exists, and a status line
"simstandin: exchanges=... reads=... writes=... malformed=... refused=... elapsed=...s"
at exit. A batch that runs off its block or holds an unknown record type is answered
0, and so is a message whose atom or block cannot be found. Exit status: 0; 2 for a
bad command line or CSV file, or a record file that cannot be created; 1 when the
record could not be written whole.
)";
}
