using System;
using System.Collections.Generic;
using System.Text;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>A clean stand-in core and dispatcher for each test, and checks of what the core
    /// received.</summary>
    public abstract class BindingTest
    {
        /// <summary>Every result raised since the test began, raw and typed, in order.</summary>
        protected readonly List<KeyValuePair<int, string>> Raw =
            new List<KeyValuePair<int, string>>();
        protected readonly List<BaseResult> Typed = new List<BaseResult>();
        protected readonly List<Exception> Failures = new List<Exception>();

        [SetUp]
        public void SetUpBinding()
        {
            Assert.IsTrue(VeloStandIn.IsAvailable, "these tests drive the stand-in core");
            VeloAdapter.Initialize();
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
            Raw.Clear();
            Typed.Clear();
            Failures.Clear();
            ResultDispatcher.ResultReceived += (id, json) =>
                Raw.Add(new KeyValuePair<int, string>(id, json));
            ResultDispatcher.LoginResultReceived += Typed.Add;
            ResultDispatcher.BaseResultReceived += Typed.Add;
            ResultDispatcher.QrCodeResultReceived += Typed.Add;
            ResultDispatcher.AccountResultReceived += Typed.Add;
            ResultDispatcher.NoticeResultReceived += Typed.Add;
            ResultDispatcher.WebViewResultReceived += Typed.Add;
            ResultDispatcher.DispatchFailed += Failures.Add;
        }

        [TearDown]
        public void TearDownBinding()
        {
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
        }

        /// <summary>Fires one result of `kind` through the stand-in core, dispatches it and
        /// returns it typed.</summary>
        protected T FireAndDispatch<T>(string kind, string record)
            where T : BaseResult
        {
            Assert.IsTrue(VeloStandIn.Fire(kind, record, false), VeloStandIn.LastError);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
            CollectionAssert.IsEmpty(Failures);
            Assert.IsInstanceOf<T>(Typed[Typed.Count - 1]);
            return (T)Typed[Typed.Count - 1];
        }

        protected sealed class Expected
        {
            public string Kind;
            public string Text;
            public int Int;
            public bool Flag;
        }

        protected static Expected Text(string text)
        {
            return new Expected { Kind = "text", Text = text };
        }

        protected static Expected Int(int value)
        {
            return new Expected { Kind = "int", Int = value };
        }

        protected static Expected Flag(bool value)
        {
            return new Expected { Kind = "flag", Flag = value };
        }

        protected static Expected CText(string text)
        {
            return new Expected { Kind = "ctext", Text = text };
        }

        /// <summary>The core received exactly one call, `operation`, with these arguments: texts
        /// as their UTF-8 bytes (null as an empty String, except C texts, which stay
        /// null).</summary>
        protected static void ExpectSingleCall(string operation, params Expected[] expected)
        {
            var calls = VeloStandIn.Calls();
            Assert.AreEqual(1, calls.Count, "core calls");
            Assert.AreEqual(operation, calls[0].Operation);
            var args = calls[0].Arguments;
            Assert.AreEqual(expected.Length, args.Count, "arguments of " + operation);
            for (var i = 0; i < expected.Length; ++i)
            {
                var
                    where = operation + " argument " + (i + 1);
                Assert.AreEqual(expected[i].Kind, args[i].Kind, where);
                switch (expected[i].Kind)
                {
                case "text":
                    var bytes = Encoding.UTF8.GetBytes(expected[i].Text ?? "");
                        CollectionAssert.AreEqual(bytes, args[i].Bytes, where);
                        Assert.AreEqual(bytes.Length, args[i].Length, where);
                        Assert.IsTrue(args[i].Terminated, where);
                        break;
                case "ctext":
                        Assert.AreEqual(expected[i].Text == null, args[i].IsNull, where);
                        if (expected[i].Text != null)
                        {
                            CollectionAssert.AreEqual(Encoding.UTF8.GetBytes(expected[i].Text),
                                                      args[i].Bytes, where);
                        }
                        break;
                case "int":
                        Assert.AreEqual(expected[i].Int, args[i].Int, where);
                        break;
                case "flag":
                        Assert.AreEqual(expected[i].Flag, args[i].Flag, where);
                        break;
                }
            }
        }
    }
}
