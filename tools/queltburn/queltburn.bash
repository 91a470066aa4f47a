# bash completion for queltburn, the command-line host of QueltBurner: the commands, the options
# of each command, the drive letters of QUELT_DRIVES and files after the drive.
# Installed as share/bash-completion/completions/queltburn; a test of the project checks that the
# options offered here are exactly those that "queltburn COMMAND --help" lists.

_queltburn_switches() {
    local name
    for name in "$@"; do
        printf -- '--%s --no-%s ' "$name" "$name"
    done
}

# The options of a command, as "queltburn COMMAND --help" lists them.
_queltburn_options() {
    local data_switches="tao speedtest close-session detect-non-empty-disk underrun-prot
        disable-eject verify dvd force-erase-disk"
    local data="--label --artist --title --speed --continue-session $(_queltburn_switches $data_switches)"
    local video
    video=$(_queltburn_switches tao disable-eject speedtest close-session force-erase-disk)
    local missing
    missing=$(_queltburn_switches skip-missing)
    local run_switches="wait sync progress print-command hide quiet"
    local run="$(_queltburn_switches $run_switches) --timeout --tool --settings --name -h --help"
    # The burning commands also measure instead of burning.
    local burns="$run $(_queltburn_switches estimate)"
    local ask="--tool --settings --name -h --help"
    case $1 in
    data) echo "$data $missing $burns" ;;
    audio) echo "--artist --title --speed $(_queltburn_switches tao disable-eject) $missing $burns" ;;
    video | svideo) echo "--speed $video $missing $burns" ;;
    dvdvideo)
        echo "--label --artist --title --speed $(_queltburn_switches tao speedtest close-session \
            detect-non-empty-disk underrun-prot disable-eject verify force-erase-disk) $missing $burns"
        ;;
    image)
        echo "--speed $(_queltburn_switches tao dvd speedtest close-session detect-non-empty-disk \
            underrun-prot disable-eject force-erase-disk) $run"
        ;;
    erase) echo "$(_queltburn_switches full) $run" ;;
    eject) echo "$run" ;;
    burn) echo "$data --type $missing $burns" ;;
    drives | info) echo "$(_queltburn_switches json) $ask" ;;
    settings) echo "$data --type $(_queltburn_switches hide quiet) --timeout --settings --name -h --help" ;;
    esac
}

# Files (and folders) starting with the word being completed, one per line.
_queltburn_files() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$1"))
}

# Whether the word is an option that takes the next word as its value.
_queltburn_takes_value() {
    case $1 in
    --tool | --settings | --type | --label | --artist | --title | --speed | --continue-session | \
        --name | --timeout) return 0 ;;
    esac
    return 1
}

_queltburn() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "data audio video svideo dvdvideo image erase eject burn drives info
            settings -h --help --version" -- "$cur"))
        return
    fi
    # Bash splits --name=VALUE at the "=" into three words: the value belongs to the option.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 2)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    local command=${COMP_WORDS[1]}
    case $command in
    data | audio | video | svideo | dvdvideo | image | erase | eject | burn | drives | info | settings) ;;
    *) return ;; # --help, --version and unknown commands take nothing more
    esac
    case $prev in
    --tool | --settings)
        _queltburn_files "$cur"
        return
        ;;
    --type)
        # Only the commands that take --type; elsewhere it is no option the value belongs to.
        if [[ $command == burn || $command == settings ]]; then
            COMPREPLY=($(compgen -W "data audio video svideo dvdvideo" -- "$cur"))
        fi
        return
        ;;
    --label | --artist | --title | --speed | --continue-session | --name | --timeout)
        return
        ;;
    esac

    # Count the operands before the word being completed: the drive comes first.
    local i word operands=0 options_ended=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((options_ended)); then
            ((operands++))
        elif [[ $word == -- ]]; then
            options_ended=1
        elif _queltburn_takes_value "$word"; then
            ((i++))
            [[ ${COMP_WORDS[i]} == = ]] && ((i++))
        elif [[ $word != -?* ]]; then
            ((operands++))
        fi
    done

    if ((!options_ended)) && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_queltburn_options "$command")" -- "$cur"))
        return
    fi
    if [[ $command == settings || $command == drives ]]; then
        return
    fi
    if ((operands == 0)); then
        # The drive: the letters QUELT_DRIVES lists.
        local entry letters=""
        local IFS=';'
        for entry in $QUELT_DRIVES; do
            entry=${entry#"${entry%%[![:space:]]*}"}
            [[ $entry == ?=* ]] && letters+="${entry:0:1} "
        done
        IFS=$' \t\n'
        COMPREPLY=($(compgen -W "$letters" -- "$cur"))
        return
    fi
    case $command in
    data | audio | video | svideo | dvdvideo | burn | image) _queltburn_files "$cur" ;;
    esac
}

complete -F _queltburn queltburn
