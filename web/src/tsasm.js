// The assembly language's colours: comments between "//" markers, the 25 mnemonics, two-digit
// cell operands and the text of a "set" up to its ";".
import { StreamLanguage } from '@codemirror/language';

export const mnemonics = [
    'add', 'sub', 'mul', 'div', 'ife', 'ifg', 'ifl', 'eif', 'tic', 'mpt', 'inp', 'end', 'inc',
    'dec', 'clr', 'doe', 'gto', 'dsp', 'apd', 'rnd', 'set', 'pwr', 'sqr', 'lbl', 'idl',
];
const mnemonicSet = new Set(mnemonics);

const tsasm = {
    name: 'tsasm',
    startState: () => ({ comment: false, setText: false, setOperand: false }),
    token(stream, state) {
        if (state.comment) {
            if (stream.skipTo('//')) {
                stream.pos += 2;
                state.comment = false;
            } else {
                stream.skipToEnd();
            }
            return 'comment';
        }
        if (state.setText) {
            if (stream.skipTo(';')) {
                stream.pos += 1;
                state.setText = false;
            } else {
                stream.skipToEnd();
            }
            return 'string';
        }
        if (stream.match('//')) {
            state.comment = true;
            return 'comment';
        }
        if (stream.eatSpace()) return null;
        const word = stream.match(/^[A-Za-z]{3}/);
        if (word) {
            const name = word[0].toLowerCase();
            if (mnemonicSet.has(name)) {
                state.setOperand = name === 'set';
                return name === 'end' ? 'keyword strong' : 'keyword';
            }
            return null;
        }
        if (stream.match(/^\d\d/)) {
            if (state.setOperand) {
                state.setOperand = false;
                // "set 01, " then the text: the comma and one blank belong to the instruction.
                stream.match(/^, ?/);
                state.setText = true;
            }
            return 'number';
        }
        stream.next();
        return 'punctuation';
    },
    copyState: (s) => ({ ...s }),
};

export const tsasmLanguage = StreamLanguage.define(tsasm);
